#pragma once

#include <memory>
#include <string_view>
#include <vector>

class TUTProperty;

// The tagged properties of one object in reading order, ending with the closing "None" tag.
class TUTPropertyList
{
public:
    TUTPropertyList();
    virtual ~TUTPropertyList();
    TUTPropertyList(const TUTPropertyList&) = delete;
    TUTPropertyList& operator=(const TUTPropertyList&) = delete;

    void Clear();
    // Appends a new property made by PropertyClass and returns it.
    TUTProperty& NewProperty();
    // None when Index is outside the list.
    TUTProperty* GetItem(int Index) const;
    int Count() const { return static_cast<int>(FItems.size()); }
    const std::vector<std::unique_ptr<TUTProperty>>& Items() const { return FItems; }
    // "Name" (a property without array index) or "Name[i]", ignoring letter case; none when
    // absent. Never fails.
    TUTProperty* GetPropertyByName(std::string_view Name) const;
    // Gives element 0 of a static array, written without an index, the index 0.
    virtual void FixArrayIndexes();

private:
    std::vector<std::unique_ptr<TUTProperty>> FItems;
};
