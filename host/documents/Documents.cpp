#include "Documents.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

_t_PDDoc::~_t_PDDoc() = default;

namespace pdfhost {

AVDoc DocumentList::open(const std::string& path, OpenFailure* failure)
{
  auto fail = [&](const std::string& why) -> AVDoc {
    if (failure != nullptr)
      failure->message = path + ": " + why;
    return nullptr;
  };
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0)
    return fail(std::strerror(errno));
  if (S_ISDIR(info.st_mode))
    return fail("is a folder, not a PDF file");
  auto pdDoc = std::make_unique<_t_PDDoc>();
  pdDoc->path = path;
  pdDoc->file = std::make_unique<_t_ASFile>(_t_ASFile{absolutePath(path)});
  pdDoc->pdf = std::make_unique<QPDF>();
  pdDoc->pdf->setSuppressWarnings(true);
  try {
    pdDoc->pdf->processFile(path.c_str());
    // A file qpdf could only "recover" without a single page is not an ad.
    if (pdDoc->pdf->getRoot().getKey("/Pages").isNull())
      return fail("not a PDF file (no pages)");
  } catch (QPDFExc& e) {
    return fail(std::string("not a PDF file (") + e.getMessageDetail() + ")");
  } catch (std::exception& e) {
    return fail(std::string("not a PDF file (") + e.what() + ")");
  }
  auto doc = std::make_unique<_t_AVDoc>();
  doc->pdDoc = std::move(pdDoc);
  docs_.push_back(std::move(doc));
  return docs_.back().get();
}

void DocumentList::close(AVDoc doc)
{
  docs_.erase(std::remove_if(docs_.begin(), docs_.end(),
                             [doc](const std::unique_ptr<_t_AVDoc>& d) { return d.get() == doc; }),
              docs_.end());
}

std::vector<AVDoc> DocumentList::all() const
{
  std::vector<AVDoc> docs;
  for (const auto& doc : docs_)
    docs.push_back(doc.get());
  return docs;
}

bool DocumentList::contains(AVDoc doc) const
{
  return std::any_of(docs_.begin(), docs_.end(),
                     [doc](const std::unique_ptr<_t_AVDoc>& d) { return d.get() == doc; });
}

bool DocumentList::holds(PDDoc doc) const
{
  return std::any_of(docs_.begin(), docs_.end(),
                     [doc](const std::unique_ptr<_t_AVDoc>& d) { return d->pdDoc.get() == doc; });
}

}  // namespace pdfhost
