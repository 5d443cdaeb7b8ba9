// The host's function tables and the records of the start-up handshake.
#ifndef TVP_SDK_HOSTTABLES_H
#define TVP_SDK_HOSTTABLES_H

#include "HostCalls.h"

// TABLES: one struct per table, one function pointer per call of its list.
#define TVP_TABLE_MEMBER(Table, Result, Name, Required, Params) Result(*Name) Params;
#define TVP_DECLARE_TABLE(Table, Required) \
  struct Table##HFT {                     \
    TVP_CALLS_##Table(TVP_TABLE_MEMBER)   \
  };
TVP_HOST_TABLES(TVP_DECLARE_TABLE)
#undef TVP_DECLARE_TABLE

// HANDSHAKE
// The only handshake version this SDK speaks.
#define HANDSHAKE_V0200 0x00020000u

// What the host hands the start-up glue; the glue fills handshakeCallback.
struct PISDKData_V0200 {
  ASUns32 handshakeVersion;
  ASExtension extensionID;   // the plug-in's identity, passed wherever a call asks for an owner
  const CoreHFT* coreHFT;    // Core, from which every other table is asked for
  ASUns32 coreVersion;
  PIHandshakeProc handshakeCallback;
};

// Filled by the plug-in's handshake callback.
struct PIHandshakeData_V0200 {
  ASUns32 handshakeVersion;
  ASInt16 reserved;
  ASAtom extensionName;
  ASCallback exportHFTsCallback;
  ASCallback importReplaceAndRegisterCallback;
  ASCallback initCallback;
  ASCallback unloadCallback;
};

typedef ASBool (*PISetupSDKProc)(ASUns32 handshakeVersion, void* sdkData);

// The one symbol a plug-in module exports. The host passes its handshake version; a plug-in
// that speaks it sets *handshakeVersion and *setupProc and returns true.
typedef ASBool (*PIMainProc)(ASUns32 appHandshakeVersion, ASUns32* handshakeVersion,
                             PISetupSDKProc* setupProc, void* reserved);
#define PI_MAIN_SYMBOL "AcroPluginMain"

#endif
