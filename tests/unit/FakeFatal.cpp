#include "FakeFatal.h"

#include "wizard/Fatal.h"

void ReportFatal(const char* message) { throw FatalReport(message); }
