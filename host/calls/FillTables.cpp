// The host fills every table from the call lists.
#include "calls/CallSupport.h"

namespace pdfhost {

void Host::fillTables()
{
#define TVP_FILL_ENTRY(Table, Result, Name, Required, Params) tables.Table.Name = &calls::Name;
  TVP_ALL_HOST_CALLS(TVP_FILL_ENTRY)
#undef TVP_FILL_ENTRY
}

}  // namespace pdfhost
