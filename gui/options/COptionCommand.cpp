#include "gui/options/COptionCommand.h"

#include "gui/options/COption.h"
#include "speech/CSpeechEngine.h"
#include "speech/SpeechSettings.h"
#include "telnet/TelnetServer.h"

#include <mutex>

bool RunOptionsCommand(QWidget* parent, OptionsContext& context, const OptionsFollowUp& followUp) {
    int32_t rememberedPort = 0;
    {
        std::lock_guard lock(SettingsMutex());
        rememberedPort = context.settings.telnetPort;
    }
    if (!RunOptionsSheet(parent, context))
        return false;
    ApplyConfirmedOptions(context, rememberedPort, followUp);
    return true;
}

void ApplyConfirmedOptions(OptionsContext& context, int32_t rememberedPort,
                           const OptionsFollowUp& followUp) {
    if (followUp.showFirstDay)
        followUp.showFirstDay();
    if (followUp.saveWindowState)
        followUp.saveWindowState();
    if (followUp.speechEngine != nullptr) {
        // Only this thread writes the record, so it may read it without the lock.
        ApplyChangedSpeechSettings(*followUp.speechEngine, context.settings);
    }
    // The server may need the settings lock to end its dialogue: none is held here.
    if (followUp.telnetServer != nullptr)
        followUp.telnetServer->ApplyTelnetOptions(rememberedPort);
    if (followUp.applyOutputSettings)
        followUp.applyOutputSettings();
}
