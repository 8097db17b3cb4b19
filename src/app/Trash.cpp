#include "app/Trash.h"

#include <gio/gio.h>

#include <memory>

#include "common/Exceptions.h"

namespace corvalin {

namespace {

struct TObjectUnref {
    void operator()(GFile* file) const { g_object_unref(file); }
};

struct TErrorFree {
    void operator()(GError* error) const { g_error_free(error); }
};

}  // namespace

void MoveToTrash(const std::string& path)
{
    // The local file system's own implementation: no GVfs modules are
    // loaded and no session daemon is asked for a path on disk.
    const std::unique_ptr<GFile, TObjectUnref> file(g_vfs_get_file_for_path(g_vfs_get_local(), path.c_str()));
    GError* raw = nullptr;
    if (g_file_trash(file.get(), nullptr, &raw))
        return;
    const std::unique_ptr<GError, TErrorFree> error(raw);
    throw EFCreateError(
        FormatText("Datei \"%s\" kann nicht in den Papierkorb verschoben werden und wird nicht ersetzt. %s",
                   {path, error ? error->message : "Unbekannter Fehler."}));
}

}  // namespace corvalin
