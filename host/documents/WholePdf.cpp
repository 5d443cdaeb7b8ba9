#include "WholePdf.h"

#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>
#include <stdexcept>

namespace pdfhost {

namespace {

// The end of qpdf's output pipeline: every piece goes to the sink.
class SinkPipeline : public Pipeline {
 public:
  explicit SinkPipeline(const std::function<void(const char*, std::size_t)>& sink)
      : Pipeline("host output", nullptr), sink_(sink)
  {
  }
  void write(unsigned char const* data, size_t len) override
  {
    sink_(reinterpret_cast<const char*>(data), len);
  }
  void finish() override {}

 private:
  const std::function<void(const char*, std::size_t)>& sink_;
};

}  // namespace

void writeWholePdf(QPDF& pdf, const std::string& minimumVersion,
                   const std::function<void(const char* bytes, std::size_t count)>& sink)
{
  SinkPipeline output(sink);
  QPDFWriter writer(pdf);
  writer.setOutputPipeline(&output);
  writer.setStreamDataMode(qpdf_s_preserve);
  if (!minimumVersion.empty())
    writer.setMinimumPDFVersion(minimumVersion);
  writer.write();
}

void checkPdfReadsBack(const std::string& path)
{
  QPDF pdf;
  pdf.setSuppressWarnings(true);
  pdf.processFile(path.c_str());
  if (pdf.anyWarnings() || !pdf.getRoot().isDictionary())
    throw std::runtime_error("qpdf had to repair it");
}

}  // namespace pdfhost
