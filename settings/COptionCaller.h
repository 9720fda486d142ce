#pragma once
// "caller": the phone book, saved to "names.dat" on OK.

#include "COptionDirectory.h"
#include "COptionIds.h"
#include "ResourceIds.h"

class COptionCaller : public COptionDirectory {
public:
    explicit COptionCaller(OptionsContext& context)
        : COptionDirectory(
              context,
              {"caller", OptionIds::CallerPage, Ids::OptCallerList.objectName, "number", false},
              context.phoneBook, context.phoneBookFile) {}
};
