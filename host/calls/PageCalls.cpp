// The host's calls of the PDModel table for new documents and their pages: making a document
// and its pages, the page box, the document's object layer, and releasing them.
#include "calls/CallSupport.h"

namespace pdfhost {
namespace calls {

namespace {

_t_PDDoc& openDocument(PDDoc doc, const char* call)
{
  if (doc == nullptr || !host().documents.holds(doc))
    refuse(call, "not an open document");
  return *doc;
}

_t_PDPage& livePage(PDPage page, const char* call)
{
  if (page == nullptr || !host().pages.holds(page))
    refuse(call, "not a live page");
  if (page->doc == nullptr)
    refuse(call, "the page's document was closed");
  return *page;
}

}  // namespace

PDDoc PDDocCreate(void)
{
  PDDoc doc = host().documents.create();
  ++host().live.documents;
  return doc;
}

void PDDocRelease(PDDoc doc)
{
  if (doc == nullptr)
    return;
  // A document a view took is closed with the view; one read from a file, with its window.
  if (!host().documents.releaseMade(doc))
    refuse("PDDocRelease", "not a document without a view");
}

CosDoc PDDocGetCosDoc(PDDoc doc)
{
  // The object layer is the document's own qpdf: the handle names the document.
  return reinterpret_cast<CosDoc>(&openDocument(doc, "PDDocGetCosDoc"));
}

PDPage PDDocCreatePage(PDDoc doc, PDPageNumber afterPage, ASFixedRect mediaBox)
{
  _t_PDDoc& target = openDocument(doc, "PDDocCreatePage");
  try {
    return host().pages.create(target, afterPage, mediaBox);
  } catch (content::PageFailure& failure) {
    refuse("PDDocCreatePage", failure.what());
  } catch (std::exception& failure) {
    refuse("PDDocCreatePage", failure.what(), kASErrPageContent);
  }
}

void PDPageSetMediaBox(PDPage page, ASFixedRect mediaBox)
{
  host().pages.setMediaBox(&livePage(page, "PDPageSetMediaBox"), mediaBox);
}

void PDPageNotifyContentsDidChange(PDPage page)
{
  // Nothing of this host shows pages; the content is in the page already.
  livePage(page, "PDPageNotifyContentsDidChange");
}

void PDPageRelease(PDPage page)
{
  if (page == nullptr)
    return;
  if (!host().pages.holds(page))
    refuse("PDPageRelease", "not a live page");
  host().pages.release(page);
}

}  // namespace calls
}  // namespace pdfhost
