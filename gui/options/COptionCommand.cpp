#include "gui/options/COptionCommand.h"

#include "gui/options/COption.h"
#include "speech/CSpeechEngine.h"
#include "speech/SpeechSettings.h"
#include "telnet/TelnetServer.h"


bool RunOptionsCommand(QWidget* parent, OptionsContext& context, const OptionsFollowUp& followUp) {
    int32_t rememberedPort = 0;
    rememberedPort = context.settings.Read()->telnetPort;
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
        // A copy: the engine is not asked while the settings' lock is held.
        ApplyChangedSpeechSettings(*followUp.speechEngine, context.settings.Copy());
    }
    // The server may need the settings' lock to end its dialogue: no view is held here.
    if (followUp.telnetServer != nullptr)
        followUp.telnetServer->ApplyTelnetOptions(rememberedPort);
    if (followUp.applyOutputSettings)
        followUp.applyOutputSettings();
    // Last: stopping the lines waits for a call being handled.
    if (followUp.applyLineSettings)
        followUp.applyLineSettings();
}
