// A whole document written by qpdf through writes the host checks itself: qpdf does not notice a
// full disk, so its output never goes to a file of its own opening.
#pragma once

#include <functional>
#include <string>

class QPDF;

namespace pdfhost {

// Writes the whole document, streamed in qpdf's own pieces (memory stays bounded), to `sink`,
// which throws to stop the write; its header says at least `minimumVersion` ("1.4"; empty for
// the document's own). qpdf's own errors come out as std::exception.
void writeWholePdf(QPDF& pdf, const std::string& minimumVersion,
                   const std::function<void(const char* bytes, std::size_t count)>& sink);

// Throws std::runtime_error unless qpdf reads the file back without repairing it.
void checkPdfReadsBack(const std::string& path);

}  // namespace pdfhost
