// The host's calls of the Core, AcroSupport and ASExtra tables: exceptions, atoms, callbacks,
// memory, error texts, path names and texts.
#include <cstdlib>
#include <cstring>

#include "support/Texts.h"

#include "calls/CallSupport.h"

namespace pdfhost {
namespace calls {

// CORE
void ASPushExceptionFrame(void* frame, ACRestoreProc restoreProc)
{
  host().frames.pushPluginFrame(frame, restoreProc);
}

void ASPopExceptionFrame(void)
{
  host().frames.pop();
}

void ASRaise(ASErrorCode error)
{
  host().frames.raise(error);
}

ASErrorCode ASGetExceptionErrorCode(void)
{
  return host().frames.lastError();
}

ASAtom ASAtomFromString(const char* name)
{
  require(name);
  return host().atoms.intern(name);
}

const char* ASAtomGetString(ASAtom atom)
{
  const char* name = host().atoms.name(atom);
  if (name == nullptr)
    host().frames.raise(kASErrBadParameter);
  return name;
}

ASCallback ASCallbackCreate(ASExtension owner, void* proc)
{
  require(proc);
  return host().newCallback(owner, proc);
}

void ASCallbackDestroy(ASCallback callback)
{
  if (callback != nullptr)
    host().destroyCallback(callback);
}

const void* ASExtensionMgrGetHFT(ASAtom name, ASUns32 version)
{
  const char* tableName = host().atoms.name(name);
  std::string table = tableName != nullptr ? tableName : "";
  ASUns32 offered = host().offeredVersion(table);
  const void* found = host().table(table);
  std::string refusal;
  if (found == nullptr || offered == 0)
    refusal = "the host has no table \"" + table + "\"";
  else if (offered < version)
    refusal = "the host's table \"" + table + "\" is version " + hex(offered) + ", older than the " +
              hex(version) + " required";
  if (refusal.empty())
    return found;
  if (auto* starting = host().plugins.starting(); starting != nullptr && starting->failure.empty())
    starting->failure = refusal;
  return nullptr;
}

// ACROSUPPORT
void* ASmalloc(ASSize_t size)
{
  return std::malloc(size > 0 ? size : 1);
}

void ASfree(void* block)
{
  std::free(block);
}

const char* ASGetErrorString(ASErrorCode error, char* buffer, ASSize_t bufferSize)
{
  return copyErrorText(error, host().frames.detailOf(error), buffer, bufferSize);
}

// ACROSUPPORT: files and path names

void requireFileSys(ASFileSys fileSys)
{
  if (fileSys != nullptr && fileSys != &host().defaultFileSys)
    host().frames.raise(kASErrBadParameter);
}

ASPathName requirePath(ASPathName path)
{
  require(path);
  if (!host().pathNames.contains(path))
    host().frames.raise(kASErrBadParameter);
  return path;
}

ASFileSys ASGetDefaultFileSys(void)
{
  return &host().defaultFileSys;
}

ASPathName ASFileAcquirePathName(ASFile file)
{
  // A document never saved has no file (PDDocGetFile gives none): say so, not "bad parameter".
  if (file == nullptr)
    refuse("ASFileAcquirePathName", "no file", kASErrDocNoFile);
  ++host().live.paths;
  return host().pathNames.acquire(file->path);
}

char* ASFileSysDIPathFromPath(ASFileSys fileSys, ASPathName path, ASPathName relativeToThisPath)
{
  requireFileSys(fileSys);
  requirePath(path);
  const std::string* base = nullptr;
  if (relativeToThisPath != nullptr)
    base = &requirePath(relativeToThisPath)->path;
  std::string text = deviceIndependentPath(path->path, base);
  auto* copy = static_cast<char*>(std::malloc(text.size() + 1));
  if (copy == nullptr)
    host().frames.raise(kASErrNoMemory);
  std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

void ASFileSysReleasePath(ASFileSys fileSys, ASPathName path)
{
  requireFileSys(fileSys);
  if (path == nullptr)
    return;
  // Releasing twice, or a pointer the host never made, must not free anything.
  if (!host().pathNames.release(path))
    host().frames.raise(kASErrBadParameter);
  --host().live.paths;
}

// ASEXTRA
ASText ASTextNew(void)
{
  ++host().live.texts;
  return new _t_ASText();
}

void ASTextSetEncoded(ASText text, const char* bytes, ASHostEncoding encoding)
{
  require(text);
  require(bytes);
  if (!isKnownEncoding(encoding))
    host().frames.raise(kASErrBadParameter);
  text->utf8 = toUtf8(bytes, encoding);
}

ASText ASTextFromEncoded(const char* bytes, ASHostEncoding encoding)
{
  require(bytes);
  if (!isKnownEncoding(encoding))
    host().frames.raise(kASErrBadParameter);
  ASText text = ASTextNew();
  text->utf8 = toUtf8(bytes, encoding);
  return text;
}

char* ASTextGetEncodedCopy(ASText text, ASHostEncoding encoding)
{
  require(text);
  if (!isKnownEncoding(encoding))
    host().frames.raise(kASErrBadParameter);
  std::string bytes = fromUtf8(text->utf8, encoding);
  auto* copy = static_cast<char*>(std::malloc(bytes.size() + 1));
  if (copy == nullptr)
    host().frames.raise(kASErrNoMemory);
  std::memcpy(copy, bytes.c_str(), bytes.size() + 1);
  return copy;
}

void ASTextDestroy(ASText text)
{
  if (text == nullptr)
    return;
  --host().live.texts;
  delete text;
}

}  // namespace calls
}  // namespace pdfhost
