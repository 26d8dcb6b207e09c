#include "kit/PayloadWriter.h"

#include "kit/PayloadCheck.h"
#include "kit/szdd/SzddEncoder.h"
#include "payload/LibraryFormat.h"

namespace {

// The plain bytes on their way into the compressor, counted into a CRC.
class EncoderSink : public ByteSink {
 public:
  explicit EncoderSink(SzddEncoder& encoder) : encoder_(encoder) {}
  bool Write(const unsigned char* data, std::size_t size, std::string& error) override {
    crc_ = Crc32(crc_, data, size);
    if (encoder_.Write(data, size)) return true;
    stopped_ = true;
    error = "the compression stopped";
    return false;
  }
  std::uint32_t Crc() const { return crc_; }
  // Whether the compressor, rather than the producer, stopped the bytes.
  bool Stopped() const { return stopped_; }

 private:
  SzddEncoder& encoder_;
  std::uint32_t crc_ = 0;
  bool stopped_ = false;
};

// Runs the plain bytes through the compressor into out. A failure is told
// by the output's own message when the output failed, else by the
// producer's, else by the compressor's.
bool Compress(const PayloadPlan& plan, OutputFile& out, PayloadCheck& check, PayloadFigures& figures,
              std::uint32_t& crc, std::string& error) {
  std::string outputError, produceError, why;
  bool produced = false, stopped = false, finished = false;
  {
    SzddEncoder encoder(static_cast<std::uint32_t>(plan.length), plan.lastChar, plan.jobs,
                        [&](const std::uint8_t* data, std::size_t size) {
                          if (!out.Write(data, size, outputError)) return false;
                          figures.payloadBytes += size;
                          check.Feed(data, size);
                          return true;
                        });
    EncoderSink sink(encoder);
    produced = plan.produce(sink, produceError);
    stopped = sink.Stopped();
    // Finish also tells why the compressor stopped.
    finished = (produced || stopped) && encoder.Finish(why);
    crc = sink.Crc();
  }  // the workers have ended: what they set can be read
  figures.plainBytes = plan.length;
  if (produced && finished) return true;
  error = !outputError.empty()    ? outputError
          : !produced && !stopped ? produceError
                                  : plan.name + ": cannot compress: " + why;
  return false;
}

}  // namespace

bool WritePayload(const PayloadPlan& plan, OutputFile& out, PayloadFigures& figures,
                  std::vector<std::string>& problems) {
  PayloadCheck check(plan.archive, plan.jobs);
  std::uint32_t crc = 0;
  std::string error;
  if (!Compress(plan, out, check, figures, crc, error) || !out.Flush(error)) {
    problems.push_back(error);
    return false;
  }
  std::vector<std::string> found;
  if (check.Finish(out.TemporaryPath(), plan.length, crc, found)) return true;
  for (const std::string& problem : found) problems.push_back(plan.name + ": " + problem);
  return false;
}
