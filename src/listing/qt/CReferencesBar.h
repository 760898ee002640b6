#pragma once

#include "widgets/CItemListBar.h"

// The References bar: what refers to the item under the cursor of the active listing
// window (calls, branches, literal loads and literal pointers), then what the cursor's
// routine calls. It follows the cursor while it is shown; choosing a row goes there
// as a follow does, so Left walks back.
class CReferencesBar : public CItemListBar {
    Q_OBJECT
  public:
    explicit CReferencesBar(QString caption, QWidget* parent = nullptr);

    // Lists the references of the cursor's item in `view` (nothing while hidden).
    void Follow(CTravikView* view);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void GoThere(CTravikView* view, uint32_t offset);

    QPointer<CTravikView> followed_;
    int64_t listed_ = -1;  // the cursor item listed, -1 for none
};
