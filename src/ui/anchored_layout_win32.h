#pragma once
// Controls of a resizable dialog that keep their distances to the edges they follow, measured
// once where the template put them.
#include <windows.h>

#include <span>
#include <vector>

namespace rk::ui {

struct AnchorPlan {
  int id;
  bool stretchX, stretchY;     // width / height follow the right / bottom edge
  bool fromRight, fromBottom;  // the control moves with the right / bottom edge
};

class AnchoredLayout {
 public:
  // Measures the controls of `dialog` now; the window's smallest size becomes 3/4 of its
  // present one.
  void Capture(HWND dialog, std::span<const AnchorPlan> plan);
  // Places the controls for the present client size (WM_SIZE).
  void Apply() const;
  // For WM_GETMINMAXINFO.
  [[nodiscard]] POINT minTrack() const { return minTrack_; }

 private:
  struct Anchor {
    AnchorPlan plan;
    RECT margins;  // left, top from the top-left; right, bottom from the bottom-right
  };
  HWND dialog_ = nullptr;
  std::vector<Anchor> anchors_;
  POINT minTrack_{};
};

}  // namespace rk::ui
