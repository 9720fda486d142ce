#include "data/ControlBytes.h"

std::string ReplaceControlBytes(std::string_view text) {
    std::string shown(text);
    for (char& c : shown)
        if (IsControlByte(c))
            c = ControlByteReplacement;
    return shown;
}
