// The host's page-content objects: texts (runs of one font each), paths, a page's content (its
// list of elements), fonts, colour spaces and extended graphic states. Each is counted by
// references: the maker holds one, and so does every object that names it.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "PDETypes.h"

namespace pdfhost {
namespace content {

struct FontMetrics;
class Registry;

enum class Kind { Text, Path, Content, Font, ColorSpace, ExtGState };

// BASE AND REFERENCES

class Object {
 public:
  virtual ~Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  Kind kind() const { return kind_; }
  // The handle a plug-in holds for this object.
  virtual _t_PDEObject* handle() = 0;

 protected:
  explicit Object(Kind kind) : kind_(kind) {}

 private:
  friend class Registry;
  friend void acquireObject(Object* object);
  friend void releaseObject(Object* object);
  Kind kind_;
  int references_ = 1;
  Registry* registry_ = nullptr;
};

// Adds one reference to an object; drops it when released. Null is allowed.
void acquireObject(Object* object);
void releaseObject(Object* object);

// One counted reference held by another object.
template <typename T>
class Ref {
 public:
  Ref() = default;
  explicit Ref(T* object) : object_(object) { acquireObject(object_); }
  Ref(const Ref& other) : Ref(other.object_) {}
  Ref& operator=(const Ref& other)
  {
    Ref copy(other);
    std::swap(object_, copy.object_);
    return *this;
  }
  ~Ref() { releaseObject(object_); }
  T* get() const { return object_; }
  T* operator->() const { return object_; }
  T& operator*() const { return *object_; }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  T* object_ = nullptr;
};

// OBJECTS NAMED BY GRAPHIC STATES AND RUNS

class ColorSpace final : public _t_PDEColorSpace, public Object {
 public:
  ColorSpace(std::string name, int components)
      : Object(Kind::ColorSpace), name(std::move(name)), components(components)
  {
  }
  _t_PDEObject* handle() override { return this; }
  const std::string name;  // "DeviceGray", "DeviceRGB" or "DeviceCMYK"
  const int components;
};

class ExtGState final : public _t_PDEExtGState, public Object {
 public:
  ExtGState() : Object(Kind::ExtGState) {}
  _t_PDEObject* handle() override { return this; }
  std::optional<ASFixed> fillOpacity;  // /ca, 0 to 1
};

class Font final : public _t_PDEFont, public Object {
 public:
  explicit Font(const FontMetrics& metrics) : Object(Kind::Font), metrics(metrics) {}
  _t_PDEObject* handle() override { return this; }
  const FontMetrics& metrics;
};

// A colour: its space (DeviceGray when none was given) and its components.
struct Color {
  Ref<ColorSpace> space;
  std::array<ASFixed, kPDEMaxColorComponents> values{};
};

struct GraphicState {
  Color fill;
  Color stroke;
  PDEDash dash{};
  ASFixed lineWidth = fixedOne;
  ASFixed miterLimit = 10 * fixedOne;
  ASFixed flatness = 0;
  ASInt32 lineCap = 0;
  ASInt32 lineJoin = 0;
  std::string renderIntent;  // empty: none
  Ref<ExtGState> extGState;
};

struct TextState {
  ASFixed charSpacing = 0;
  ASFixed wordSpacing = 0;
  ASInt32 renderMode = 0;
  ASFixed fontSize = fixedOne;
  ASFixed hScale = 100 * fixedOne;
  ASFixed textRise = 0;
};

// ELEMENTS

class Element : public Object {
 protected:
  using Object::Object;
};

// One run of a text: bytes in one font, placed and scaled by its text matrix.
struct Run {
  std::string bytes;
  Ref<Font> font;
  GraphicState graphics;
  TextState text;
  ASFixedMatrix matrix{fixedOne, 0, 0, fixedOne, 0, 0};
};

class Text final : public _t_PDEText, public Element {
 public:
  Text() : Element(Kind::Text) {}
  _t_PDEObject* handle() override { return this; }
  std::vector<Run> runs;
};

// The run's advance in text space (before the text matrix), in points.
double runAdvance(const Run& run);

class Path final : public _t_PDEPath, public Element {
 public:
  Path() : Element(Kind::Path) {}
  _t_PDEObject* handle() override { return this; }
  // Segments as path data: an operator code, then its coordinates in 16.16 fixed point.
  std::vector<ASInt32> data;
  ASUns32 paintOp = kPDEInvisible;
  GraphicState graphics;
};

// Checks path data: known codes, each with all its coordinates. Returns false for anything
// else, with the reason.
bool isValidPathData(const ASInt32* data, std::size_t words, std::string* why);
// The number of coordinates a segment code takes, or -1 for an unknown code.
int coordinatesOfSegment(ASInt32 code);

class Content final : public _t_PDEContent, public Object {
 public:
  Content() : Object(Kind::Content) {}
  _t_PDEObject* handle() override { return this; }
  std::vector<Ref<Element>> elements;
};

// THE REGISTRY: every object the host handed out, so that a handle can be checked before use.

class Registry {
 public:
  Registry() = default;
  Registry(const Registry&) = delete;
  Registry& operator=(const Registry&) = delete;
  ~Registry() { deleteAll(false); }

  // Makes an object with one reference, held by the caller.
  template <typename T, typename... Args>
  T* make(Args&&... args)
  {
    T* object = new T(std::forward<Args>(args)...);
    add(object);
    return object;
  }
  // The object behind a handle, or null for a handle this registry does not hold.
  Object* find(const _t_PDEObject* handle) const;
  template <typename T>
  T* find(const _t_PDEObject* handle, Kind kind) const
  {
    Object* object = find(handle);
    return object != nullptr && object->kind() == kind ? static_cast<T*>(object) : nullptr;
  }
  void acquire(Object* object);
  // Drops one reference; the last one deletes the object, which drops the references it held.
  void release(Object* object);
  // Deletes every object left, whatever its references (the host starting afresh, its counts
  // too).
  void clear() { deleteAll(false); }
  std::size_t count() const { return objects_.size(); }

 private:
  void add(Object* object);
  void deleteAll(bool counted);
  std::unordered_map<const _t_PDEObject*, Object*> objects_;
  bool clearing_ = false;
};

}  // namespace content
}  // namespace pdfhost
