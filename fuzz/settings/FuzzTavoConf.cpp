// Any bytes as tavo.conf: read, the outputs' settings taken from it and written back into it.
// What the program writes must read back as it was written, whatever surrounds it, and a file
// written once must not change when written again.
#include "settings/OutputSettingsKeys.h"
#include "settings/TavoConf.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    TavoConf conf = TavoConf::Parse(bytes);
    // Lines that are not understood are named, never quoted, and only a few of them.
    if (conf.Problems().size() > 6)
        std::abort();
    for (const std::string& problem : conf.Problems())
        if (problem.size() > 200)
            std::abort();
    const OutputSettings read = ReadOutputSettings(conf);
    (void)HoldsSecret(conf);

    // Settings with texts taken from the input: quotes, comment marks, blanks and line ends.
    OutputSettings written = read;
    const std::string half = bytes.substr(0, size / 2);
    written.mqtt.password = half;
    written.mqtt.user = bytes.substr(size / 2);
    written.command.arguments = " " + half + "\t";
    WriteOutputSettings(conf, written);
    const std::string text = conf.Text();

    TavoConf again = TavoConf::Parse(text);
    OutputSettings back = ReadOutputSettings(again);
    // Line ends cannot be kept in a one-line value: they are written as blanks.
    for (std::string* value :
         {&written.mqtt.password, &written.mqtt.user, &written.command.arguments,
          &written.ncid.address, &written.ncid.allow, &written.mqtt.host, &written.mqtt.caFile,
          &written.mqtt.clientId, &written.mqtt.baseTopic, &written.command.program})
        for (char& c : *value)
            if (c == '\n' || c == '\r')
                c = ' ';
    if (!(back == written))
        std::abort();
    WriteOutputSettings(again, back);
    if (again.Text() != text)
        std::abort();
    return 0;
}
