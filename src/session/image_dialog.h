#pragma once
// The image dialog's model: the picture settings of frame processing (filter page) and, for the
// grey output formats, the grey gains and offsets (gray page), changed in the session as the user
// moves a control; anything but OK puts back what was there before.
#include <functional>
#include <mutex>
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
    // Called by the frame thread (frame lock held) when processing changed the gains the pages
    // show: each page shows the session's values again, on its own thread.
    void Refresh();

    // A page's way of hearing from the frame thread.
    class PostingPage : public settings::PageModel {
    public:
        void SetPoster(std::function<void(int, int)> post) override;
        void Post();

    private:
        std::mutex lock_;
        std::function<void(int, int)> post_;
    };
    class FilterPage final : public PostingPage {
    public:
        FilterPage(ImageDialog& dialog) : d_(dialog) {}
        settings::Updates Initialise() override;
        settings::Updates Changed(int id, const settings::ControlInput& input) override;

    private:
        ImageDialog& d_;
    };
    class GrayPage final : public PostingPage {
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
