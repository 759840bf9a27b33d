// No window system: there is never a preview window, so nothing is drawn or closed.
#include "ui/preview_window.h"

namespace kelvox::ui {

const bool kHasWindowSystem = false;

bool PreviewWindow::Create(const char*, const PreviewPlacement&, int, int) { return false; }
bool PreviewWindow::DrawableSize(int*, int*) const { return false; }
void PreviewWindow::DrawFlipped(const imaging::DibImage&) const {}
void PreviewWindow::Draw(void*, int, int) const {}
void PreviewWindow::Close() {}

}  // namespace kelvox::ui
