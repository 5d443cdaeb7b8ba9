// What every file of host calls shares: a declaration of each call of every table (generated
// from the call lists, so the tables can be filled from any one file), and the checks calls make
// on what a plug-in passes them.
#pragma once

#include "Host.h"
#include "HostCalls.h"

namespace pdfhost {
namespace calls {

#define TVP_DECLARE_HOST_CALL(Table, Result, Name, Required, Params) Result Name Params;
TVP_ALL_HOST_CALLS(TVP_DECLARE_HOST_CALL)
#undef TVP_DECLARE_HOST_CALL

inline Host& host()
{
  return Host::get();
}

// A plug-in passed something the call cannot use.
template <typename T>
void require(T* pointer)
{
  if (pointer == nullptr)
    host().frames.raise(kASErrBadParameter);
}

// Refuses a call: logs why, then raises the error.
[[noreturn]] inline void refuse(const std::string& call, const std::string& why,
                                ASErrorCode error = kASErrBadParameter)
{
  host().log.write(call + " refused: " + why);
  host().frames.raise(error);
}

// The file system a call names; null stands for the default one.
void requireFileSys(ASFileSys fileSys);
// A path name the host handed out and nobody has released yet.
ASPathName requirePath(ASPathName path);

}  // namespace calls
}  // namespace pdfhost
