#include "settings/dialog_model.h"

#include <cstdlib>

namespace kelvox::settings {

ControlUpdate Text(int id, std::string text) {
    ControlUpdate u;
    u.id = id;
    u.fields = ControlUpdate::kText;
    u.text = std::move(text);
    return u;
}

ControlUpdate Position(int id, int position) {
    ControlUpdate u;
    u.id = id;
    u.fields = ControlUpdate::kPosition;
    u.position = position;
    return u;
}

ControlUpdate Checked(int id, bool checked) {
    ControlUpdate u;
    u.id = id;
    u.fields = ControlUpdate::kChecked;
    u.checked = checked;
    return u;
}

ControlUpdate Selection(int id, int selection) {
    ControlUpdate u;
    u.id = id;
    u.fields = ControlUpdate::kSelection;
    u.selection = selection;
    return u;
}

ControlUpdate Items(int id, std::vector<std::string> items, int selection) {
    ControlUpdate u;
    u.id = id;
    u.fields = ControlUpdate::kItems | ControlUpdate::kSelection;
    u.items = std::move(items);
    u.selection = selection;
    return u;
}

ControlUpdate Enabled(int id, bool enabled) {
    ControlUpdate u;
    u.id = id;
    u.fields = ControlUpdate::kEnabled;
    u.enabled = enabled;
    return u;
}

ControlUpdate Visible(int id, bool visible) {
    ControlUpdate u;
    u.id = id;
    u.fields = ControlUpdate::kVisible;
    u.visible = visible;
    return u;
}

void SetUpValue(Updates& out, const ValueControls& ids, int low, int high, int page, int value, bool enabled) {
    ControlUpdate bar;
    bar.id = ids.bar;
    bar.fields = ControlUpdate::kRange | ControlUpdate::kPosition | ControlUpdate::kEnabled;
    bar.low = low;
    bar.high = high;
    bar.page = page;
    bar.position = value;
    bar.enabled = enabled;
    out.push_back(bar);
    ControlUpdate spin = bar;
    spin.id = ids.spin;
    spin.fields |= ControlUpdate::kBuddy;
    spin.buddy = ids.edit;
    out.push_back(spin);
    ControlUpdate edit = Text(ids.edit, std::to_string(value));
    edit.fields |= ControlUpdate::kEnabled;
    edit.enabled = enabled;
    out.push_back(edit);
}

void ShowValue(Updates& out, const ValueControls& ids, int value) {
    out.push_back(Position(ids.bar, value));
    out.push_back(Position(ids.spin, value));
    out.push_back(Text(ids.edit, std::to_string(value)));
}

void ShowRow(Updates& out, const ValueControls& ids, bool visible) {
    for (const int id : {ids.bar, ids.edit, ids.spin}) out.push_back(Visible(id, visible));
}

bool RowValue(const ValueControls& row, int id, const ControlInput& input, int* value) {
    if (id == row.bar) *value = input.value;
    else if (id == row.edit) *value = std::atoi(input.text.c_str());
    else return false;
    return true;
}

void FollowValue(Updates& out, const ValueControls& row, int id, int value) {
    if (id == row.bar) out.push_back(Text(row.edit, std::to_string(value)));
    else out.push_back(Position(row.bar, value));
    out.push_back(Position(row.spin, value));
}

}  // namespace kelvox::settings
