// The host fills every table from the call lists, each call behind one trap.
#include <new>

#include "calls/CallSupport.h"

namespace pdfhost {

namespace {

// A call as the plug-in reaches it: no C++ exception of the host's ever crosses into the
// plug-in. One the call did not turn into a host error is raised as one at the call's boundary,
// as a failing call raises: running out of memory is the memory error, anything else the general
// one. A raise on its way to a plug-in frame's handler passes through untouched.
template <auto Call>
struct Trapped;

template <typename Result, typename... Params, Result (*Call)(Params...)>
struct Trapped<Call> {
  static Result call(Params... params)
  {
    ExceptionFrames& frames = Host::get().frames;
    frames.beginCall();
    try {
      return Call(params...);
    } catch (HostError&) {
      throw;  // the host's own frame takes it
    } catch (std::bad_alloc&) {
      if (frames.takeRaiseInFlight()) throw;
      frames.raise(kASErrNoMemory);
    } catch (std::exception& e) {
      if (frames.takeRaiseInFlight()) throw;
      noteUnexpected(e);
      frames.raise(kASErrGeneral);
    }
  }

  static void noteUnexpected(const std::exception& e) noexcept
  {
    try {
      Host::get().log.write(std::string("a host call ended with ") + e.what());
    } catch (...) {
      // The log is the host's; the error is raised all the same.
    }
  }
};

}  // namespace

void Host::fillTables()
{
#define TVP_FILL_ENTRY(Table, Result, Name, Required, Params) \
  tables.Table.Name = &Trapped<&calls::Name>::call;
  TVP_ALL_HOST_CALLS(TVP_FILL_ENTRY)
#undef TVP_FILL_ENTRY
}

}  // namespace pdfhost
