// The panel in which the user chooses files to open. When the user opens
// them, a B_REFS_RECEIVED message with their references under "refs" goes
// through looper's queue to target.
#pragma once

class BHandler;
class BLooper;
class QFileDialog;

enum file_panel_mode { B_OPEN_PANEL = 0 };

class BFilePanel {
public:
    BFilePanel(file_panel_mode mode, BLooper* looper, BHandler* target, bool allowMultipleSelection = true);
    ~BFilePanel();
    // Shows the panel without waiting; it hides when the user opens files
    // or cancels.
    void Show();
    void Hide();
    bool IsShowing() const;

private:
    QFileDialog* fDialog;
};
