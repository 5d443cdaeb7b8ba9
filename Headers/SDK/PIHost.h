// The plug-in's side of the host interface: table pointers, versions and one call object per
// host call, so that call sites read AVAlertNote("...") and go through the table.
#ifndef TVP_SDK_PIHOST_H
#define TVP_SDK_PIHOST_H

#include <stdio.h>
#include <stdlib.h>

#include "ASErrors.h"
#include "HostTables.h"

// Set by the start-up glue when the host loads the plug-in.
extern ASExtension gExtensionID;
#define TVP_DECLARE_TABLE_GLOBALS(Table, Required) \
  extern const Table##HFT* g##Table##HFT;         \
  extern ASUns32 g##Table##Version;
TVP_HOST_TABLES(TVP_DECLARE_TABLE_GLOBALS)
#undef TVP_DECLARE_TABLE_GLOBALS

// Writes "file:line: failed assertion `condition'" to standard error and aborts.
[[noreturn]] inline void PIAssertFailed(const char* file, unsigned line, const char* condition)
{
  fflush(stdout);
  fprintf(stderr, "%s:%u: failed assertion `%s'\n", file, line, condition);
  fflush(stderr);
  abort();
}

// A host call through its table. The trailing defaulted parameters capture the caller's file
// and line, so a failed version assertion names the call site.
template <typename Table, typename Signature>
struct PIHostCall;

template <typename Table, typename Result, typename... Args>
struct PIHostCall<Table, Result(Args...)> {
  const Table* const* table;
  const ASUns32* version;
  Result (*Table::*entry)(Args...);
  ASUns32 minimumVersion;
  const char* condition;

  Result operator()(Args... args, const char* file = __builtin_FILE(),
                    unsigned line = __builtin_LINE()) const
  {
    if (minimumVersion != 0 && *version < minimumVersion)
      PIAssertFailed(file, line, condition);
    return ((*table)->*entry)(args...);
  }
};

#define TVP_DECLARE_CALL(Table, Result, Name, Required, Params)                               \
  inline constexpr PIHostCall<Table##HFT, Result Params> Name{                               \
      &g##Table##HFT, &g##Table##Version, &Table##HFT::Name, Required, \
      "g" #Table "Version >=" #Required};
TVP_ALL_HOST_CALLS(TVP_DECLARE_CALL)
#undef TVP_DECLARE_CALL

// Start-up glue entry points (defined in PIMain.cpp).
extern "C" ASBool AcroPluginMain(ASUns32 appHandshakeVersion, ASUns32* handshakeVersion,
                                 PISetupSDKProc* setupProc, void* reserved);
// The plug-in's own handshake, called by the host after the glue accepted it.
ASBool PIHandshake(ASUns32 handshakeVersion, void* handshakeData);

#endif
