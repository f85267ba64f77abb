#pragma once
// TfrConfig: the configuration dialog without its window. It holds what the dialog's controls
// show during one showing (page, track bars, check boxes, the two check lists, the link edit box
// and its buttons, run at logon, the font sample), runs the controls' handlers and the link
// editing state machine `FEditMode`, and maps the main window's state in (OpenConfig) and back
// out on OK (ApplyConfig). fConfig_win32.cpp puts the real controls on it; see
// docs/config-dialog.md for the choices made where the stored values fall outside the dialog's
// ranges.
#include "app/fMain.h"
#include "controls/Graphics.h"
#include "controls/Monitors.h"

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

inline constexpr std::string_view kConfigCaption = "Configuration";
inline constexpr std::string_view kInvalidUrlMessage = "Invalid url! Please check again!";
inline constexpr std::string_view kDuplicateUrlMessage = "This rss address already exists!";
inline constexpr std::string_view kEditLinkHint = "Edit current RSS link";
inline constexpr std::string_view kDoneHint = "Done";
inline constexpr std::string_view kNewLinkText = "http://";
inline constexpr std::string_view kRunAtLogonValue = "[Tidewire]";
inline constexpr TColor kFontSampleBackground = 4207403;  // 0x40332B

// The pages in tree order; the index is what "Last_Config_Page" stores.
enum TConfigPage : int { cpRSSSettings, cpDefaultLinks, cpCustomLinks, cpGeneral, cpAppearance };
inline constexpr int kConfigPageCount = 5;

struct TConfigPageInfo {
    std::string_view Caption;
    int Parent;     // page index of the parent node, -1 at the top
    int Image;      // image of the tree node, -1 for none
    std::string_view StatusText;
};
extern const std::array<TConfigPageInfo, kConfigPageCount> ConfigPages;

enum TEditMode { emNone, emEdit, emAdd };

// The images of the link buttons, in the dialog's image collection order.
enum TLinkImage : int { liUp, liDown, liAdd, liRemove, liEdit, liDone };

// What the custom-link buttons and the edit box show, as UpdateLinkButtons leaves them.
struct TLinkButtons {
    bool Up = false, Down = false, Add = true, Remove = false, Edit = false;
    bool EditBox = false;        // txtCurrentRSSlink enabled
    int EditImage = liEdit;      // liEdit or liDone
    std::string_view EditHint = kEditLinkHint;
    bool operator==(const TLinkButtons&) const = default;
};

// What the dialog needs of its window beyond its controls' state.
class IConfigView {
public:
    virtual ~IConfigView() = default;
    // An error message box with one OK button; returns once it is closed.
    virtual void ShowError(std::string_view text) = 0;
    // Puts the keyboard focus into the link edit box.
    virtual void FocusLinkEdit() {}
};

class TfrConfig {
public:
    // Runs FormCreate: no edit open, the link buttons set for an empty selection.
    explicit TfrConfig(IConfigView& view);

    // Handlers, named after the controls whose events they answer.
    void FormCreate();
    // A page was chosen in the tree; an index outside the pages opens the first one.
    void tvConfigClick(int page);
    void UpdateHintText();
    void tbReloadTimeChange(int position);
    void cbMaxRSSItemsClick(bool checked);
    void txtMaxRSSItemsChange(int value);
    void lbRSSDefLinksClick(int line);
    // Selects `line` of the custom list (-1: none) and drops an open edit.
    void lbCustRSSLinksClick(int line);
    // The user typed in the link edit box.
    void txtCurrentRSSlinkChange(std::string text) { CurrentLinkText = std::move(text); }
    void btnUpClick();
    void btnDownClick();
    void btnAddRSSLinkClick();
    void btnRemRSSLinkClick();
    // Opens an edit, or closes the open one ("Done") when its address passes the checks.
    void btnEditRSSLinkClick();
    // The font dialog's choice: name, size and style; the colour stays the sample's own.
    void ChooseTickerFont(const TFont& chosen);
    void btnDefaultTickerFontClick();
    void tbTickerSpeedChange(int position);
    void UpdateLinkButtons();
    // The selected line's address answered with a page linking `feed`: the feed takes the line's
    // place, or, when another line has it already, the line goes.
    void ReplaceSelectedLink(const std::string& feed);

    // The controls' state.
    int SelectedPage = cpRSSSettings;
    std::string_view HintText;             // sbHints
    int ReloadPosition = 0;                // tbReloadTime, 0..11
    std::string ReloadHint;                // tbReloadTime's hint
    bool MaxItemsChecked = false;          // cbMaxRSSItems
    int MaxItems = 1;                      // txtMaxRSSItems, 1..99
    bool MaxItemsEnabled = false;
    bool AutoUrlJump = false;              // cbAutoUrlJump
    std::vector<TConfigLink> DefaultLinks; // lbRSSDefLinks
    int DefaultSelected = -1;
    std::string DefaultHint;
    std::vector<TConfigLink> CustomLinks;  // lbCustRSSLinks
    int CustomSelected = -1;
    std::string CustomHint;
    std::string CurrentLinkText;           // txtCurrentRSSlink
    TEditMode FEditMode = emNone;
    TLinkButtons Buttons;
    bool StartUp = false;                  // cbStartUp
    std::vector<std::string> MonitorCaptions;  // cbMonitor: "1: 1920 × 1080 (primary)", ...
    int MonitorSelected = -1;
    bool StillHeadlines = false;           // "Show headlines without scrolling"
    THotKey FocusHotKey = kDefaultFocusHotKey;  // the key that gives the bar the focus
    TFont SampleFont;                      // txtTickerFont's font
    int SpeedPosition = DefaultTickerSpeedIndex;  // tbTickerSpeed, 0..4
    TStreamSettings Stream;                // the "Stream" group of the General page

    // The program's status of a feed address (last result, when, next due), which the status
    // line shows for the address selected in either list; none: no status.
    std::function<std::string(const std::string&)> FeedStatusOf;
    std::string FeedStatus;                // of the selected address; "" = none selected

    // Set by OpenConfig: what the dialog opened with, for what applying must compare.
    bool StartUpAtOpen = false;
    int ReloadPositionAtOpen = 0;
    bool ReloadOutOfRange = false;         // the stored period is outside 5 to 60 minutes
    TMonitorList Monitors;                 // the monitors listed, in the list's order
    int MonitorSelectedAtOpen = -1;

private:
    void SelectFeedStatus(const std::vector<TConfigLink>& lines, int selected);
    // Whether `address` may go into the custom list; otherwise shows the message saying why.
    // `skip` is the line it may equal (the one being edited), -1 for none.
    bool CheckLink(const std::string& address, int skip);

    IConfigView& view_;
};

// Whether the program starts at logon: the "[Tidewire]" value of the current user's Run key.
class IRunAtLogon {
public:
    virtual ~IRunAtLogon() = default;
    // True when the value exists and is not empty.
    virtual bool Enabled() const = 0;
    // Writes the running executable's path (true) or deletes the value (false); false when the
    // key or the value could not be changed.
    virtual bool SetEnabled(bool enabled) = 0;
};

// Opening: fills the dialog from the main window's settings and the Run key (steps 2 to 9 of
// opening), and lists `monitors` with the one the setting names chosen (the primary for a monitor
// not connected now).
void OpenConfig(TfrConfig& dialog, const TMainSettings& settings, const IRunAtLogon& runAtLogon,
                const TMonitorList& monitors = {});

// OK: updates the Run key when the check box changed, then hands the dialog's values to the main
// window in one record (TfrMain::ApplySettings: the feed menus rebuilt, the settings file
// written). Returns false when the settings file or the Run key could not be written (the values
// are applied all the same).
bool ApplyConfig(const TfrConfig& dialog, TfrMain& main, IRunAtLogon& runAtLogon);

// The track bar position of a reload period in ms: the lower multiple of 5 minutes, 5 to 60
// minutes giving 0 to 11; periods outside that range give the nearer end.
int ReloadPositionOf(int intervalMs);

}  // namespace tw
