#include "TUTPropertyList.h"

#include "TUTObject.h"
#include "TUTProperty.h"
#include "UTText.h"

#include <algorithm>
#include <charconv>
#include <unordered_map>

namespace {

// A decimal number as the whole text, else 0.
std::int32_t DecimalOrZero(std::string_view Text)
{
    if (!Text.empty() && Text.front() == '+') {
        Text.remove_prefix(1);
    }
    std::int32_t Value = 0;
    const auto [End, Error] = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
    if (Error != std::errc() || End != Text.data() + Text.size() || Text.empty()) {
        return 0;
    }
    return Value;
}

} // namespace

TUTPropertyList::TUTPropertyList() = default;
TUTPropertyList::~TUTPropertyList() = default;

void TUTPropertyList::Clear()
{
    FItems.clear();
}

TUTProperty& TUTPropertyList::NewProperty()
{
    FItems.push_back(PropertyClass()());
    return *FItems.back();
}

TUTProperty* TUTPropertyList::GetItem(int Index) const
{
    if (Index < 0 || static_cast<std::size_t>(Index) >= FItems.size()) {
        return nullptr;
    }
    return FItems[static_cast<std::size_t>(Index)].get();
}

TUTProperty* TUTPropertyList::GetPropertyByName(std::string_view Name) const
{
    std::string_view Base = Name;
    std::int32_t Index = -1;
    if (const auto Bracket = Name.find('['); Bracket != std::string_view::npos) {
        Base = Name.substr(0, Bracket);
        // The closing bracket is taken to be the last character.
        const std::size_t First = Bracket + 1;
        const std::size_t Last = Name.size() - 1;
        Index = DecimalOrZero(Last > First ? Name.substr(First, Last - First) : std::string_view());
    }
    for (const auto& Item : FItems) {
        if (Item->ArrayIndex() == Index && UTSameText(Item->Name(), Base)) {
            return Item.get();
        }
    }
    return nullptr;
}

void TUTPropertyList::FixArrayIndexes()
{
    std::unordered_map<std::string_view, int> Counts;
    for (const auto& Item : FItems) {
        ++Counts[Item->Name()];
    }
    for (const auto& Item : FItems) {
        if (Item->FArrayIndex != -1) {
            continue;
        }
        const bool Known = std::find(std::begin(KnownArrayNames), std::end(KnownArrayNames),
                                     Item->Name()) != std::end(KnownArrayNames);
        if (Known || Counts[Item->Name()] > 1) {
            Item->FArrayIndex = 0;
        }
    }
}
