#include "Objects.h"

#include "Host.h"
#include "content/FontMetrics.h"

namespace pdfhost {
namespace content {

namespace {

long& liveCountOf(Kind kind)
{
  LiveObjects& live = Host::get().live;
  switch (kind) {
    case Kind::Text:
    case Kind::Path:
      return live.elements;
    case Kind::Content:
      return live.contents;
    case Kind::Font:
      return live.fonts;
    case Kind::ColorSpace:
      return live.colorSpaces;
    case Kind::ExtGState:
      return live.extGStates;
  }
  return live.elements;
}

double fixedToDouble(ASFixed value)
{
  return static_cast<double>(value) / 65536.0;
}

}  // namespace

void acquireObject(Object* object)
{
  if (object != nullptr && object->registry_ != nullptr)
    object->registry_->acquire(object);
}

void releaseObject(Object* object)
{
  if (object != nullptr && object->registry_ != nullptr)
    object->registry_->release(object);
}

double runAdvance(const Run& run)
{
  const FontMetrics& metrics = run.font->metrics;
  double size = fixedToDouble(run.text.fontSize);
  double advance = 0;
  for (unsigned char byte : run.bytes) {
    advance += metrics.widths[byte] / 1000.0 * size + fixedToDouble(run.text.charSpacing);
    if (byte == ' ')
      advance += fixedToDouble(run.text.wordSpacing);
  }
  return advance * fixedToDouble(run.text.hScale) / 100.0;
}

int coordinatesOfSegment(ASInt32 code)
{
  switch (code) {
    case kPDEMoveTo:
    case kPDELineTo:
      return 2;
    case kPDECurveTo:
      return 6;
    case kPDECurveToV:
    case kPDECurveToY:
    case kPDERect:
      return 4;
    case kPDEClosePath:
      return 0;
    default:
      return -1;
  }
}

bool isValidPathData(const ASInt32* data, std::size_t words, std::string* why)
{
  std::size_t at = 0;
  while (at < words) {
    int coordinates = coordinatesOfSegment(data[at]);
    if (coordinates < 0) {
      *why = "unknown segment code " + std::to_string(data[at]) + " at word " + std::to_string(at);
      return false;
    }
    if (at + 1 + static_cast<std::size_t>(coordinates) > words) {
      *why = "segment code " + std::to_string(data[at]) + " at word " + std::to_string(at) +
             " lacks its coordinates";
      return false;
    }
    at += 1 + static_cast<std::size_t>(coordinates);
  }
  return true;
}

// REGISTRY

void Registry::add(Object* object)
{
  object->registry_ = this;
  objects_.emplace(object->handle(), object);
  ++liveCountOf(object->kind());
}

Object* Registry::find(const _t_PDEObject* handle) const
{
  auto found = objects_.find(handle);
  return found != objects_.end() ? found->second : nullptr;
}

void Registry::acquire(Object* object)
{
  if (!clearing_)
    ++object->references_;
}

void Registry::release(Object* object)
{
  if (clearing_ || --object->references_ > 0)
    return;
  objects_.erase(object->handle());
  --liveCountOf(object->kind());
  delete object;  // drops the references it held
}

void Registry::deleteAll(bool counted)
{
  clearing_ = true;
  for (auto& entry : objects_) {
    if (counted)
      --liveCountOf(entry.second->kind());
    delete entry.second;
  }
  objects_.clear();
  clearing_ = false;
}

}  // namespace content
}  // namespace pdfhost
