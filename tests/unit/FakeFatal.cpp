#include "FakeFatal.h"

#include "base/Fatal.h"

void ReportFatal(const char* message) { throw FatalReport(message); }
