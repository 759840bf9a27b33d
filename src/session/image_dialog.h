#pragma once
// The image dialog's model: the picture settings of frame processing (filter page) and, for the
// grey output formats, the grey gains and offsets (gray page), changed in the session as the user
// moves a control; anything but OK puts back what was there before.
#include <vector>

#include "settings/dialog_model.h"
#include "settings/dialog_text.h"
#include "settings/records.h"

namespace kelvox {

class Session;

// Which controls of the filter page work, and whether the gray page exists, by output format.
struct ImageDialogRules {
    bool picture = false;  // brightness, contrast, sharpness, gamma
    bool colour = false;   // hue, saturation, the R/G/B gains, white balance and Bayer mode
    bool gray_page = false;
    static ImageDialogRules ForFormat(int format);
};

class ImageDialog final : public settings::DialogModel {
public:
    // Keeps a copy of the session's picture settings.
    ImageDialog(Session& session, settings::Language language);

    int TemplateId() const override;
    std::vector<Page> Pages() override;
    Answer Button(int id) override;
    // After the dialog: unless it ended with OK, the copy goes back.
    void End(int result);

    class FilterPage final : public settings::PageModel {
    public:
        FilterPage(ImageDialog& dialog) : d_(dialog) {}
        settings::Updates Initialise() override;
        settings::Updates Changed(int id, const settings::ControlInput& input) override;

    private:
        ImageDialog& d_;
    };
    class GrayPage final : public settings::PageModel {
    public:
        GrayPage(ImageDialog& dialog) : d_(dialog) {}
        settings::Updates Initialise() override;
        settings::Updates Changed(int id, const settings::ControlInput& input) override;

    private:
        ImageDialog& d_;
    };

private:
    template <class F>
    void Update(F change);
    FilterSettings Current();

    Session& s_;
    settings::Language language_;
    ImageDialogRules rules_;
    FilterSettings copy_;
    FilterPage filter_page_{*this};
    GrayPage gray_page_{*this};
};

}  // namespace kelvox
