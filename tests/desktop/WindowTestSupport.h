// Helpers of the window tests: a launcher that records instead of starting,
// a private settings store, answering modal windows, and picture folders.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <QString>

#include "TestSupport.h"
#include "common/Launcher.h"

class QTimer;
class QWidget;

namespace windowtest {

class RecordingLauncher : public corvalin::TLauncher {
public:
    RecordingLauncher() { corvalin::SetLauncher(this); }
    ~RecordingLauncher() override { corvalin::SetLauncher(nullptr); }
    bool StartDetached(const std::string& program, const std::vector<std::string>& arguments) override
    {
        calls.push_back(program);
        for (const std::string& argument : arguments)
            calls.back() += " " + argument;
        return starts;
    }
    std::vector<std::string> calls;  // "program argument..."
    bool starts = true;              // false: as if no program could be run
};

// Points XDG_CONFIG_HOME at a fresh folder for the life of the object.
class PrivateSettings {
public:
    PrivateSettings();
    ~PrivateSettings();
    std::string StoreFile() const { return dir_.File("Corvalin/Corvalin.conf"); }
    std::string StoreText() const;

private:
    testsupport::TempDir dir_;
};

// Runs action on the next modal window that opens (once the event loop of
// its exec() runs), then closes it unless the action did.
// The returned timer may be deleted to withdraw the request.
QTimer* OnNextModal(std::function<void(QWidget*)> action);
// Records the text of the next modal message box and presses its button.
void AnswerNextMessageBox(QString* text);

// A 24-bit BMP of width x height filled with one colour.
void WriteBmp(const std::string& path, int width, int height, uint32_t rgb);

}  // namespace windowtest
