#include "Pages.h"

#include <algorithm>
#include <qpdf/Pl_Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <set>

#include "Host.h"
#include "content/ContentWriter.h"
#include "content/FontMetrics.h"

namespace pdfhost {
namespace content {

namespace {

QPDFObjectHandle boxArray(const ASFixedRect& box)
{
  ASFixed left = std::min(box.left, box.right);
  ASFixed right = std::max(box.left, box.right);
  ASFixed bottom = std::min(box.top, box.bottom);
  ASFixed top = std::max(box.top, box.bottom);
  auto array = QPDFObjectHandle::newArray();
  for (ASFixed value : {left, bottom, right, top})
    array.appendItem(QPDFObjectHandle::newReal(formatFixed(value)));
  return array;
}

// The page's content streams as one text.
std::string pageContentOf(QPDFObjectHandle page)
{
  if (page.getKey("/Contents").isNull()) return "";
  Pl_Buffer buffer("page content");
  QPDFPageObjectHelper(page).pipeContents(&buffer);
  std::unique_ptr<Buffer> bytes(buffer.getBuffer());
  return std::string(reinterpret_cast<const char*>(bytes->getBuffer()), bytes->getSize());
}

// A resource dictionary of the page's own (one it inherits or shares is copied first).
QPDFObjectHandle ownSubdictionary(QPDFObjectHandle page, const std::string& key)
{
  // An inherited or shared dictionary is copied into the page before it is changed.
  QPDFObjectHandle resources = QPDFPageObjectHelper(page).getAttribute("/Resources", true);
  if (!resources.isDictionary()) {
    resources = QPDFObjectHandle::newDictionary();
    page.replaceKey("/Resources", resources);
  } else if (resources.isIndirect()) {
    resources = resources.shallowCopy();
    page.replaceKey("/Resources", resources);
  }
  QPDFObjectHandle sub = resources.getKey(key);
  if (!sub.isDictionary())
    sub = QPDFObjectHandle::newDictionary();
  else
    sub = sub.shallowCopy();
  resources.replaceKey(key, sub);
  return sub;
}

// Names the page's resources give the fonts and graphic states of one write.
class PageResources : public ResourceNames {
 public:
  PageResources(QPDF& pdf, QPDFObjectHandle fonts, QPDFObjectHandle extGStates,
                std::map<std::string, QPDFObjectHandle>& fontCache,
                std::map<std::string, QPDFObjectHandle>& extGStateCache)
      : pdf_(pdf),
        fonts_(fonts),
        extGStates_(extGStates),
        fontCache_(fontCache),
        extGStateCache_(extGStateCache)
  {
  }

  std::string fontName(const Font& font) override
  {
    const std::string& base = font.metrics.baseFont;
    auto named = fontNames_.find(base);
    if (named != fontNames_.end()) return named->second;
    QPDFObjectHandle& object = fontCache_[base];
    if (!object.isInitialized()) {
      auto dict = QPDFObjectHandle::newDictionary();
      dict.replaceKey("/Type", QPDFObjectHandle::newName("/Font"));
      dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Type1"));
      dict.replaceKey("/BaseFont", QPDFObjectHandle::newName("/" + base));
      if (!font.metrics.symbolic)
        dict.replaceKey("/Encoding", QPDFObjectHandle::newName("/WinAnsiEncoding"));
      object = pdf_.makeIndirectObject(dict);
    }
    std::string name = freeName(fonts_, "F");
    fonts_.replaceKey("/" + name, object);
    addedFonts.push_back(name);
    fontNames_[base] = name;
    return name;
  }

  std::string extGStateName(const ExtGState& state) override
  {
    std::string key = state.fillOpacity ? "ca=" + formatFixed(*state.fillOpacity) : "";
    auto named = stateNames_.find(key);
    if (named != stateNames_.end()) return named->second;
    QPDFObjectHandle& object = extGStateCache_[key];
    if (!object.isInitialized()) {
      auto dict = QPDFObjectHandle::newDictionary();
      dict.replaceKey("/Type", QPDFObjectHandle::newName("/ExtGState"));
      if (state.fillOpacity) {
        dict.replaceKey("/ca", QPDFObjectHandle::newReal(formatFixed(*state.fillOpacity)));
        transparency = true;
      }
      object = pdf_.makeIndirectObject(dict);
    }
    std::string name = freeName(extGStates_, "GS");
    extGStates_.replaceKey("/" + name, object);
    addedExtGStates.push_back(name);
    stateNames_[key] = name;
    return name;
  }

  std::vector<std::string> addedFonts;
  std::vector<std::string> addedExtGStates;
  bool transparency = false;  // a graphic state with an opacity was made

 private:
  static std::string freeName(QPDFObjectHandle dict, const std::string& prefix)
  {
    for (int n = 1;; ++n) {
      std::string name = prefix + std::to_string(n);
      if (!dict.hasKey("/" + name)) return name;
    }
  }

  QPDF& pdf_;
  QPDFObjectHandle fonts_;
  QPDFObjectHandle extGStates_;
  std::map<std::string, QPDFObjectHandle>& fontCache_;
  std::map<std::string, QPDFObjectHandle>& extGStateCache_;
  std::map<std::string, std::string> fontNames_;
  std::map<std::string, std::string> stateNames_;
};

}  // namespace

// PAGES

PDPage PageTable::create(_t_PDDoc& doc, ASInt32 afterPage, const ASFixedRect& mediaBox)
{
  QPDF& pdf = *doc.pdf;
  QPDFPageDocumentHelper pages(pdf);
  std::vector<QPDFPageObjectHelper> all = pages.getAllPages();
  if (afterPage < -1 || afterPage >= static_cast<ASInt32>(all.size()))
    throw PageFailure("no page " + std::to_string(afterPage) + " to add a page after (the " +
                      "document has " + std::to_string(all.size()) + ")");
  auto dict = QPDFObjectHandle::newDictionary();
  dict.replaceKey("/Type", QPDFObjectHandle::newName("/Page"));
  dict.replaceKey("/MediaBox", boxArray(mediaBox));
  dict.replaceKey("/Resources", QPDFObjectHandle::newDictionary());
  dict.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, std::string()));
  QPDFObjectHandle object = pdf.makeIndirectObject(dict);
  if (afterPage == -1)
    pages.addPage(object, true);
  else
    pages.addPageAt(object, false, all[static_cast<std::size_t>(afterPage)]);

  auto page = std::make_unique<_t_PDPage>();
  page->doc = &doc;
  // addPage may have made its own copy of the dictionary: name the one in the page tree.
  std::vector<QPDFPageObjectHelper> now = pages.getAllPages();
  page->object = now[static_cast<std::size_t>(afterPage + 1)].getObjectHandle();
  page->original = std::string();
  documents_[&doc].changed = true;
  pages_.push_back(std::move(page));
  ++Host::get().live.pages;
  return pages_.back().get();
}

bool PageTable::holds(PDPage page) const
{
  return std::any_of(pages_.begin(), pages_.end(),
                     [page](const std::unique_ptr<_t_PDPage>& p) { return p.get() == page; });
}

_t_PDPage& PageTable::live(PDPage page)
{
  if (page->doc == nullptr) throw PageFailure("the page's document was closed");
  return *page;
}

void PageTable::release(PDPage page)
{
  if (--page->references > 0) return;
  // Content still acquired goes with the handle.
  if (page->content != nullptr) {
    releaseObject(page->content);
    page->content = nullptr;
  }
  pages_.erase(
      std::remove_if(pages_.begin(), pages_.end(),
                     [page](const std::unique_ptr<_t_PDPage>& p) { return p.get() == page; }),
      pages_.end());
  --Host::get().live.pages;
}

void PageTable::setMediaBox(PDPage handle, const ASFixedRect& box)
{
  _t_PDPage& page = live(handle);
  page.object.replaceKey("/MediaBox", boxArray(box));
  documents_[page.doc].changed = true;
}

// CONTENT

Content* PageTable::acquireContent(PDPage handle)
{
  _t_PDPage& page = live(handle);
  if (page.content == nullptr) {
    page.content = Host::get().pde.make<Content>();
    page.content->elements = page.committed;
  }
  ++page.acquisitions;
  return page.content;
}

ASInt32 PageTable::releaseContent(PDPage page)
{
  if (page->content == nullptr || page->acquisitions <= 0)
    throw PageFailure("the page's content is not acquired");
  if (--page->acquisitions == 0) {
    releaseObject(page->content);
    page->content = nullptr;
  }
  return page->acquisitions;
}

void PageTable::setContent(PDPage handle)
{
  _t_PDPage& page = live(handle);
  if (page.content == nullptr) throw PageFailure("the page's content is not acquired");
  if (!page.original) page.original = pageContentOf(page.object);
  page.committed = page.content->elements;
  writePage(page);
}

void PageTable::writePage(_t_PDPage& page)
{
  QPDF& pdf = *page.doc->pdf;
  DocumentResources& cache = documents_[page.doc];
  QPDFObjectHandle fonts = ownSubdictionary(page.object, "/Font");
  QPDFObjectHandle extGStates = ownSubdictionary(page.object, "/ExtGState");
  for (const auto& name : page.addedFonts) fonts.removeKey("/" + name);
  for (const auto& name : page.addedExtGStates) extGStates.removeKey("/" + name);

  PageResources names(pdf, fonts, extGStates, cache.fonts, cache.extGStates);
  std::string stream;
  if (!page.original->empty()) stream = "q\n" + *page.original + "\nQ\n";
  stream += writeElements(page.committed, names);
  page.object.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, stream));
  page.addedFonts = names.addedFonts;
  page.addedExtGStates = names.addedExtGStates;
  cache.changed = true;
  cache.transparency = cache.transparency || names.transparency;
}

// DOCUMENTS

bool PageTable::changedSinceRead(const _t_PDDoc& doc) const
{
  auto found = documents_.find(&doc);
  return found != documents_.end() && found->second.changed;
}

void PageTable::forget(const _t_PDDoc& doc)
{
  for (auto& page : pages_) {
    if (page->doc != &doc) continue;
    page->doc = nullptr;
    page->object = QPDFObjectHandle();
    page->committed.clear();
  }
  documents_.erase(&doc);
}

std::string PageTable::pdfVersionNeeded(const _t_PDDoc& doc) const
{
  std::string own = doc.pdf->getPDFVersion();
  auto found = documents_.find(&doc);
  bool transparency = found != documents_.end() && found->second.transparency;
  // Versions are "major.minor" with one-digit parts, so texts compare as numbers do.
  return transparency && own < "1.4" ? "1.4" : own;
}

PagePositions PageTable::positionsOf(const _t_PDDoc& doc) const
{
  PagePositions result;
  // Walking the page tree costs as much as the document has pages: only for handles out.
  bool handedOut = std::any_of(pages_.begin(), pages_.end(),
                               [&](const std::unique_ptr<_t_PDPage>& p) { return p->doc == &doc; });
  if (!doc.pdf || !handedOut) return result;
  std::vector<QPDFObjectHandle> all = doc.pdf->getAllPages();
  for (const auto& page : pages_) {
    if (page->doc != &doc) continue;
    for (std::size_t i = 0; i < all.size(); ++i)
      if (all[i].getObjGen() == page->object.getObjGen())
        result.positions.emplace_back(page.get(), i);
  }
  return result;
}

void PageTable::rebind(_t_PDDoc& doc, const PagePositions& positions)
{
  documents_.erase(&doc);
  if (positions.positions.empty()) return;
  std::vector<QPDFObjectHandle> all = doc.pdf->getAllPages();
  for (const auto& [page, index] : positions.positions) {
    if (!holds(page)) continue;
    if (index < all.size()) {
      page->object = all[index];
    } else {
      page->doc = nullptr;  // the page is gone from the file read back
      page->object = QPDFObjectHandle();
    }
    // The page's own content and the elements set stay: the next write starts from them.
  }
}

void PageTable::clear()
{
  for (auto& page : pages_) {
    if (page->content != nullptr) releaseObject(page->content);
    page->committed.clear();
  }
  pages_.clear();  // the host starts its counts afresh
  documents_.clear();
}

void forgetDocument(const _t_PDDoc& doc)
{
  Host& host = Host::get();
  host.pages.forget(doc);
  if (doc.made) --host.live.documents;
}

PagePositions pagePositions(const _t_PDDoc& doc)
{
  return Host::get().pages.positionsOf(doc);
}

void rebindPages(_t_PDDoc& doc, const PagePositions& positions)
{
  Host::get().pages.rebind(doc, positions);
}

}  // namespace content
}  // namespace pdfhost
