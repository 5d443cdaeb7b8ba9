// Pages as the host hands them to plug-ins, and their content: a page's elements are written
// into the page as a real content stream, with the fonts and extended graphic states they use
// in the page's resources, each time a plug-in sets the content back on the page.
#pragma once

#include <qpdf/QPDFObjectHandle.hh>

#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "ASTypes.h"
#include "content/Objects.h"

struct _t_PDDoc;
class QPDF;

// A page handle: counted references; it outlives its document only as an orphan that every
// call refuses.
struct _t_PDPage {
  _t_PDDoc* doc = nullptr;  // null once its document was closed
  QPDFObjectHandle object;  // the page dictionary
  int references = 1;
  pdfhost::content::Content* content = nullptr;  // while acquired
  int acquisitions = 0;
  // What the host last wrote into the page: the page's own content from before (kept as it
  // was, between q and Q) and the elements set since.
  std::optional<std::string> original;
  std::vector<pdfhost::content::Ref<pdfhost::content::Element>> committed;
  // Resource names the host added to the page, replaced at each write.
  std::vector<std::string> addedFonts;
  std::vector<std::string> addedExtGStates;
};

namespace pdfhost {
namespace content {

// A page cannot be made or written; the text says why.
class PageFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Where each live page of a document stood in its page list, to find it again after the
// document is read anew from its file.
struct PagePositions {
  std::vector<std::pair<PDPage, std::size_t>> positions;
};

class PageTable {
 public:
  PageTable() = default;
  PageTable(const PageTable&) = delete;
  PageTable& operator=(const PageTable&) = delete;

  // PAGES
  // A new page with the media box given, after page number `afterPage` (0-based; -1: before
  // the first). Throws PageFailure for a position outside the document. One reference, the
  // caller's.
  PDPage create(_t_PDDoc& doc, ASInt32 afterPage, const ASFixedRect& mediaBox);
  // Whether a handle is a page this table handed out and not yet freed (orphans included).
  bool holds(PDPage page) const;
  // Drops one reference; the last one frees the handle (the page stays in its document).
  void release(PDPage page);
  void setMediaBox(PDPage page, const ASFixedRect& box);

  // CONTENT
  // The page's content; the same object while it is acquired. Acquiring it first reads what the
  // host last set.
  Content* acquireContent(PDPage page);
  // Drops one acquisition; returns how many remain. Changes not set back are dropped with the
  // last one. Throws PageFailure when the content is not acquired.
  ASInt32 releaseContent(PDPage page);
  // Writes the acquired content into the page. Throws PageFailure when it is not acquired, or
  // the page cannot be written.
  void setContent(PDPage page);

  // DOCUMENTS
  // Whether a page was written since its document was last read.
  bool changedSinceRead(const _t_PDDoc& doc) const;
  // The PDF version a full save of the document must write: its own, raised to 1.4 once the
  // host made a graphic state with an opacity for it (transparency came with PDF 1.4).
  std::string pdfVersionNeeded(const _t_PDDoc& doc) const;
  // The document is closing: its pages become orphans.
  void forget(const _t_PDDoc& doc);
  PagePositions positionsOf(const _t_PDDoc& doc) const;
  // The document was read anew: each page handle names the page at its old position.
  void rebind(_t_PDDoc& doc, const PagePositions& positions);

  std::size_t count() const { return pages_.size(); }
  // Frees every handle, whatever its references (the host starting afresh, its counts too).
  void clear();

 private:
  struct DocumentResources {
    std::map<std::string, QPDFObjectHandle> fonts;       // by base font
    std::map<std::string, QPDFObjectHandle> extGStates;  // by their settings
    bool changed = false;
    bool transparency = false;
  };
  _t_PDPage& live(PDPage page);
  void writePage(_t_PDPage& page);
  std::vector<std::unique_ptr<_t_PDPage>> pages_;
  std::map<const _t_PDDoc*, DocumentResources> documents_;
};

// Hooks for documents: called when one closes, and around reading one anew.
void forgetDocument(const _t_PDDoc& doc);
PagePositions pagePositions(const _t_PDDoc& doc);
void rebindPages(_t_PDDoc& doc, const PagePositions& positions);

}  // namespace content
}  // namespace pdfhost
