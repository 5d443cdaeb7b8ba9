// The interactive host's print dialog: GTK's own, with the document's PDF sent as it is to the
// printer the user chose (the file printer writes it to the file chosen), read from the
// descriptor the host opened before the dialog.
#include <gtk/gtk.h>
#include <gtk/gtkunixprint.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

#include "GtkUi.h"

namespace pdfhost {

namespace {

struct ObjectUnref {
  void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using OwnedObject = std::unique_ptr<T, ObjectUnref>;

template <typename T>
OwnedObject<T> reference(T* object)
{
  if (object != nullptr)
    g_object_ref(object);
  return OwnedObject<T>(object);
}

struct LoopUnref {
  void operator()(GMainLoop* loop) const { g_main_loop_unref(loop); }
};

// Waits for a job to end, running the default main context meanwhile.
struct JobWait {
  std::unique_ptr<GMainLoop, LoopUnref> loop{g_main_loop_new(nullptr, FALSE)};
  bool done = false;
  std::string failure;
};

void jobFinished(GtkPrintJob* /*job*/, gpointer data, const GError* error)
{
  auto* wait = static_cast<JobWait*>(data);
  if (error != nullptr)
    wait->failure = error->message;
  wait->done = true;
  g_main_loop_quit(wait->loop.get());
}

PrintResult failed(const std::string& why)
{
  return PrintResult{PrintResult::kFailed, "", why};
}

}  // namespace

PrintResult GtkUi::printDocument(const PrintRequest& request)
{
  if (!ensureGtk()) {
    std::fprintf(stderr, "pdfhost: no display to show the print dialog on\n");
    return failed("there is no display to show the print dialog on");
  }
  OwnedWidget dialog = ownWidget(gtk_print_unix_dialog_new(request.title.c_str(), dialogParent()));
  GtkPrintUnixDialog* chooser = GTK_PRINT_UNIX_DIALOG(dialog.get());
  // The job is a finished PDF: only printers (and file formats) that take PDF as it is.
  gtk_print_unix_dialog_set_manual_capabilities(chooser, GTK_PRINT_CAPABILITY_GENERATE_PDF);
  if (gtk_dialog_run(GTK_DIALOG(dialog.get())) != GTK_RESPONSE_OK)
    return PrintResult{PrintResult::kCancelled, "", ""};
  auto printer = reference(gtk_print_unix_dialog_get_selected_printer(chooser));
  OwnedObject<GtkPrintSettings> settings(gtk_print_unix_dialog_get_settings(chooser));
  auto setup = reference(gtk_print_unix_dialog_get_page_setup(chooser));
  dialog.reset();
  if (!printer)
    return failed("no printer was chosen");
  std::string name = gtk_printer_get_name(printer.get());
  if (!gtk_printer_accepts_pdf(printer.get()))
    return failed("the printer " + name + " does not take PDF documents");

  OwnedObject<GtkPrintJob> job(
      gtk_print_job_new(request.title.c_str(), printer.get(), settings.get(), setup.get()));
  GError* error = nullptr;
  // The document the host opened for this job, not whatever its path names now; GTK reads it
  // from the descriptor's position and leaves the descriptor to the host.
  ::lseek(request.descriptor, 0, SEEK_SET);
  if (!gtk_print_job_set_source_fd(job.get(), request.descriptor, &error)) {
    std::string why = error != nullptr ? error->message : "the document cannot be read";
    g_clear_error(&error);
    return failed(why);
  }
  std::string destination = name;
  const char* uri = gtk_print_settings_get(settings.get(), GTK_PRINT_SETTINGS_OUTPUT_URI);
  if (uri != nullptr && gtk_printer_is_virtual(printer.get()))
    destination = uri;

  JobWait wait;
  gtk_print_job_send(job.get(), jobFinished, &wait, nullptr);
  if (!wait.done)
    g_main_loop_run(wait.loop.get());
  if (!wait.failure.empty())
    return failed(wait.failure);
  return PrintResult{PrintResult::kPrinted, destination, ""};
}

}  // namespace pdfhost
