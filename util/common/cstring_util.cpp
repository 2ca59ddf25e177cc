#include "util/common/cstring_util.h"

namespace common {
namespace sdk {
namespace cstring_util {

void Split(const CString& source, char16_t separator, StringList* list) {
    if (!list) return;
    std::u16string_view rest = source.View();
    for (size_t pos; (pos = rest.find(separator)) != std::u16string_view::npos;) {
        list->emplace_back(rest.substr(0, pos));
        rest.remove_prefix(pos + 1);
    }
    list->emplace_back(rest);
}

void Trim(StringList* list) {
    if (!list) return;
    for (CString& item : *list) item.Trim();
}

void Join(const StringList& list, const char16_t* separator, CString* output) {
    if (list.empty()) return;
    CString result = list.front();
    for (size_t i = 1; i < list.size(); ++i) {
        result += separator;
        result += list[i];
    }
    if (output) *output = result;
}

CString Join(const StringList& list, const char16_t* separator) {
    CString result;
    Join(list, separator, &result);
    return result;
}

void ReplaceRightChars(CString* text, char16_t from, char16_t to) {
    if (!text) return;
    for (int i = text->GetLength() - 1; i >= 0 && text->GetAt(i) == from; --i) text->SetAt(i, to);
}

}  // namespace cstring_util
}  // namespace sdk
}  // namespace common
