#pragma once
// What a settings dialog shows and does, apart from the window system: each page says which
// controls to set up and how to answer a user's change with further control changes; the window
// layer only moves values between the controls and these models.
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kelvox::settings {

// A change to one control of a page or dialog. Only the fields named in `fields` apply.
struct ControlUpdate {
    enum Field : unsigned {
        kRange = 1, kPosition = 2, kText = 4, kChecked = 8, kItems = 16, kSelection = 32, kEnabled = 64,
        kVisible = 128, kBuddy = 256,
    };
    int id = 0;
    unsigned fields = 0;
    int low = 0, high = 0, page = 0;  // track bar / up-down range; page size of a track bar
    int position = 0;                 // track bar / up-down position
    int selection = 0;                // combo box entry
    int buddy = 0;                    // the edit an up-down drives
    bool checked = false, enabled = true, visible = true;
    std::string text;                // UTF-8
    std::vector<std::string> items;  // combo box entries, UTF-8
};
using Updates = std::vector<ControlUpdate>;

// Posted instead of a control id: the page shows its model's present values again.
inline constexpr int kShowAll = 0;

// Builders for the usual changes.
ControlUpdate Text(int id, std::string text);
ControlUpdate Position(int id, int position);
ControlUpdate Checked(int id, bool checked);
ControlUpdate Selection(int id, int selection);
ControlUpdate Items(int id, std::vector<std::string> items, int selection);
ControlUpdate Enabled(int id, bool enabled);
ControlUpdate Visible(int id, bool visible);
// A track bar, its edit and its up-down set up together: range, page size, value, all three enabled
// or disabled.
struct ValueControls {
    int bar, edit, spin;
};
void SetUpValue(Updates& out, const ValueControls& ids, int low, int high, int page, int value, bool enabled);
// The value shown in a row's bar and edit (and up-down).
void ShowValue(Updates& out, const ValueControls& ids, int value);
// Shows or hides the three.
void ShowRow(Updates& out, const ValueControls& ids, bool visible);

// What a user did to a control: a track bar's position, a check box's or radio button's state,
// a combo box's selection (`value`), an edit's text (`text`), a push button (neither).
struct ControlInput {
    int value = 0;
    std::string text;
};

// The value a user gave a row through its bar or its edit; false for any other control.
bool RowValue(const ValueControls& row, int id, const ControlInput& input, int* value);
// The row's other controls follow the one the user moved.
void FollowValue(Updates& out, const ValueControls& row, int id, int value);

// One page of controls: the child page of a tab, or the controls of a dialog without pages.
class PageModel {
public:
    virtual ~PageModel() = default;
    // The controls' first contents, and what to hide or disable.
    virtual Updates Initialise() = 0;
    // A user's change to control `id`; the window layer applies the answer without reporting the
    // changes it makes itself.
    virtual Updates Changed(int id, const ControlInput& input) = 0;
    // Gives the window layer's way of changing an edit from another thread: the edit's text
    // becomes the value on the page's own thread, and then counts as the user's change (id
    // kShowAll: the page is set up again from Initialise).
    virtual void SetPoster(std::function<void(int id, int value)> post) { (void)post; }
};

// A modal dialog: a tab control, a page per tab (or the dialog's own controls) and its buttons.
class DialogModel {
public:
    struct Page {
        int template_id = 0;
        std::string tab;  // UTF-8
        PageModel* model = nullptr;
    };
    virtual ~DialogModel() = default;
    virtual int TemplateId() const = 0;
    // Child pages, the first shown; none when the dialog's own controls are the page.
    virtual std::vector<Page> Pages() = 0;
    // The dialog's own controls: the tab texts of a dialog without pages, the dialog's page model.
    virtual std::vector<std::string> OwnTabs() { return {}; }
    virtual PageModel* OwnControls() { return nullptr; }
    // A button of the dialog itself (OK 1, Cancel 2, Default 3, Apply...): changes per page (index
    // into Pages(), -1 for the dialog's own controls), and the dialog's result when it ends (0 stays open).
    struct Answer {
        std::vector<std::pair<int, Updates>> updates;
        int end_with = 0;
    };
    virtual Answer Button(int id) = 0;
};

}  // namespace kelvox::settings
