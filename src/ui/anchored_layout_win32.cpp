#include "ui/anchored_layout_win32.h"

namespace rk::ui {

void AnchoredLayout::Capture(HWND dialog, std::span<const AnchorPlan> plan) {
  dialog_ = dialog;
  anchors_.clear();
  RECT client{};
  GetClientRect(dialog, &client);
  for (const AnchorPlan& p : plan) {
    RECT r{};
    GetWindowRect(GetDlgItem(dialog, p.id), &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    anchors_.push_back({p, {r.left, r.top, client.right - r.right, client.bottom - r.bottom}});
  }
  RECT window{};
  GetWindowRect(dialog, &window);
  minTrack_ = {(window.right - window.left) * 3 / 4, (window.bottom - window.top) * 3 / 4};
}

void AnchoredLayout::Apply() const {
  if (dialog_ == nullptr) return;
  RECT client{};
  GetClientRect(dialog_, &client);
  for (const Anchor& a : anchors_) {
    const HWND control = GetDlgItem(dialog_, a.plan.id);
    RECT r{};
    GetWindowRect(control, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    int x = a.margins.left, y = a.margins.top, w = width, h = height;
    if (a.plan.stretchX) w = client.right - a.margins.right - x;
    if (a.plan.fromRight) x = client.right - a.margins.right - width;
    if (a.plan.stretchY) h = client.bottom - a.margins.bottom - y;
    if (a.plan.fromBottom) y = client.bottom - a.margins.bottom - height;
    MoveWindow(control, x, y, w > 0 ? w : 0, h > 0 ? h : 0, TRUE);
  }
}

}  // namespace rk::ui
