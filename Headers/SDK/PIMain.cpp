// Start-up glue compiled into every plug-in: answers the host's handshake, imports the host's
// function tables at the versions the plug-in needs, and hands the host PIHandshake.
#include "PIHost.h"

ASExtension gExtensionID = nullptr;

#define TVP_DEFINE_TABLE_GLOBALS(Table, Required) \
  const Table##HFT* g##Table##HFT = nullptr;     \
  ASUns32 g##Table##Version = 0;
TVP_HOST_TABLES(TVP_DEFINE_TABLE_GLOBALS)
#undef TVP_DEFINE_TABLE_GLOBALS

namespace {

void ForgetHost()
{
  gExtensionID = nullptr;
#define TVP_CLEAR_TABLE(Table, Required) \
  g##Table##HFT = nullptr;              \
  g##Table##Version = 0;
  TVP_HOST_TABLES(TVP_CLEAR_TABLE)
#undef TVP_CLEAR_TABLE
}

// Asks the host for every table; all are required, so one missing or too old one refuses the
// load and leaves no table half-imported.
bool ImportHostTables()
{
#define TVP_IMPORT_TABLE(Table, Required)                                                     \
  if (g##Table##HFT == nullptr) {                                                            \
    g##Table##HFT =                                                                          \
        static_cast<const Table##HFT*>(ASExtensionMgrGetHFT(ASAtomFromString(#Table), Required)); \
    if (g##Table##HFT == nullptr)                                                            \
      return false;                                                                          \
    g##Table##Version = Required;                                                             \
  }
  TVP_HOST_TABLES(TVP_IMPORT_TABLE)
#undef TVP_IMPORT_TABLE
  return true;
}

ASBool PISetupSDK(ASUns32 handshakeVersion, void* sdkData)
{
  if (handshakeVersion != HANDSHAKE_V0200 || sdkData == nullptr)
    return false;
  auto* data = static_cast<PISDKData_V0200*>(sdkData);
  if (data->handshakeVersion != HANDSHAKE_V0200 || data->coreHFT == nullptr ||
      data->coreVersion < 0x00050000)
    return false;
  ForgetHost();
  gExtensionID = data->extensionID;
  gCoreHFT = data->coreHFT;
  gCoreVersion = 0x00050000;
  if (!ImportHostTables()) {
    ForgetHost();
    return false;
  }
  data->handshakeCallback = PIHandshake;
  return true;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) ASBool AcroPluginMain(
    ASUns32 appHandshakeVersion, ASUns32* handshakeVersion, PISetupSDKProc* setupProc,
    void* /*reserved*/)
{
  if (appHandshakeVersion != HANDSHAKE_V0200 || handshakeVersion == nullptr ||
      setupProc == nullptr)
    return false;
  *handshakeVersion = HANDSHAKE_V0200;
  *setupProc = PISetupSDK;
  return true;
}
