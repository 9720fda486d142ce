#pragma once
// "caller": the phone book, saved to "names.dat" on OK.

#include "gui/ResourceIds.h"
#include "gui/options/COptionDirectory.h"
#include "gui/options/COptionIds.h"

class COptionCaller : public COptionDirectory {
public:
    explicit COptionCaller(OptionsContext& context)
        : COptionDirectory(
              context,
              {QT_TRANSLATE_NOOP("COptionPage", "caller"), OptionIds::CallerPage,
               Ids::OptCallerList.objectName, QT_TRANSLATE_NOOP("COptionPage", "number"), false},
              &SharedLists::phoneBook, context.phoneBookFile) {
        EnableImport();
    }
};
