#pragma once
// "MSN": the numbers of the line with their names, saved to "msn.dat" on OK.

#include "gui/ResourceIds.h"
#include "gui/options/COptionDirectory.h"
#include "gui/options/COptionIds.h"

class COptionMSN : public COptionDirectory {
public:
    explicit COptionMSN(OptionsContext& context)
        : COptionDirectory(context,
                           {QT_TRANSLATE_NOOP("COptionPage", "MSN"), OptionIds::MsnPage,
                            Ids::OptMsnList.objectName, QT_TRANSLATE_NOOP("COptionPage", "MSN"),
                            true},
                           &SharedLists::msnList, context.msnListFile) {}
};
