#include "speech/SpeechModeId.h"

#include <QByteArray>
#include <QUuid>

#include <algorithm>

namespace {

// Our own namespace for voice identifiers; changing it would orphan every stored choice.
const QUuid VoiceNamespace{0x6f1c6a52, 0x3f5e, 0x4b8e, 0x9a, 0x51, 0x2d,
                           0x0c,       0x7e,   0x4b,   0x9a, 0x10};

} // namespace

SpeechModeId ModeIdForVoice(std::string_view voiceIdentifier) {
    const QUuid uuid = QUuid::createUuidV5(
        VoiceNamespace,
        QByteArray(voiceIdentifier.data(), static_cast<qsizetype>(voiceIdentifier.size())));
    SpeechModeId id{};
    for (int i = 0; i < 4; ++i)
        id[i] = static_cast<uint8_t>(uuid.data1 >> (8 * i));
    for (int i = 0; i < 2; ++i) {
        id[4 + i] = static_cast<uint8_t>(uuid.data2 >> (8 * i));
        id[6 + i] = static_cast<uint8_t>(uuid.data3 >> (8 * i));
    }
    std::copy(std::begin(uuid.data4), std::end(uuid.data4), id.begin() + 8);
    return id;
}

bool IsNullModeId(const SpeechModeId& id) {
    return std::all_of(id.begin(), id.end(), [](uint8_t b) { return b == 0; });
}
