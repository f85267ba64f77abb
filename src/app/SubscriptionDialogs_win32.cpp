#include "app/SubscriptionDialogs_win32.h"

#include "base/TextConvert_win32.h"

#include <commdlg.h>

#include <optional>

namespace tw {
namespace {

constexpr wchar_t kOpmlFilter[] = L"OPML files (*.opml; *.xml)\0*.opml;*.xml\0All files (*.*)\0*.*\0";
constexpr std::string_view kImportCaption = "Import feeds";
constexpr std::string_view kExportCaption = "Export feeds";

TFeedsList FeedsListOf(const std::vector<TConfigLink>& lines) {
    TFeedsList list;
    for (const TConfigLink& line : lines) list.Add(line.Address, line.Checked);
    return list;
}

// The file chosen in the standard open (or save) dialog, which opens in the folder last used;
// nothing when the user cancels. A chosen file's folder is kept for the next time.
std::optional<std::string> PickOpmlFile(HWND owner, const std::string& configFile, bool save) {
    const auto store = CreateSystemProfileStore(configFile);
    const std::wstring folder = ToWide(LastOpmlFolder(*store));
    std::wstring file(32768, L'\0');
    if (save) file.replace(0, 10, L"feeds.opml");
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = kOpmlFilter;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = DWORD(file.size());
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    ofn.lpstrDefExt = L"opml";
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST |
                (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
    if (!(save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn))) return std::nullopt;
    file.resize(file.find(L'\0'));
    const std::string chosen = FromWide(file);
    RememberOpmlFolder(*store, chosen);  // a folder not kept costs only the next dialog's start
    return chosen;
}

void Tell(HWND owner, const TSubscriptionResult& result, std::string_view caption) {
    MessageBoxW(owner, ToWide(result.Message).c_str(), ToWide(caption).c_str(),
                MB_OK | (result.Done ? MB_ICONINFORMATION : MB_ICONERROR));
}

}  // namespace

void ImportFeedsWithDialog(HWND owner, const std::string& configFile, const std::vector<TConfigLink>& defaults,
                           std::vector<TConfigLink>& customs) {
    const auto file = PickOpmlFile(owner, configFile, false);
    if (!file) return;
    TFeedsList list = FeedsListOf(customs);
    const std::size_t before = list.Count();
    const TSubscriptionResult result = ImportFeedsFile(*file, FeedsListOf(defaults), list, nullptr);
    for (std::size_t i = before; i < list.Count(); ++i) customs.push_back({list.Strings(i), true});
    Tell(owner, result, kImportCaption);
}

void ExportFeedsWithDialog(HWND owner, const std::string& configFile, const std::vector<TConfigLink>& defaults,
                           const std::vector<TConfigLink>& customs, const TFeedNotes& notes) {
    const auto file = PickOpmlFile(owner, configFile, true);
    if (!file) return;
    Tell(owner, ExportFeedsFile(*file, FeedsListOf(defaults), FeedsListOf(customs), notes), kExportCaption);
}

}  // namespace tw
