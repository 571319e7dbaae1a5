#include "TDialogType.h"

#include <array>

static_assert(DialogTypeCount == 109, "language files carry one message per member");

namespace {

constexpr std::array<const char*, DialogTypeCount> KDialogTypeNames = {
#define KOVA_DIALOG_TYPE_NAME(name) #name,
    KOVA_DIALOG_TYPES(KOVA_DIALOG_TYPE_NAME)
#undef KOVA_DIALOG_TYPE_NAME
};

} // namespace

QString DialogTypeName(TDialogType type)
{
    const int index = static_cast<int>(type);
    if (index < 0 || index >= DialogTypeCount)
        return QString();
    return QString::fromLatin1(KDialogTypeNames[index]);
}
