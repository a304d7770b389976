#include "FilePanel.h"

#include <QFileDialog>

#include "AppDefs.h"
#include "Entry.h"
#include "Looper.h"
#include "Message.h"

BFilePanel::BFilePanel(file_panel_mode, BLooper* looper, BHandler* target, bool allowMultipleSelection)
    : fDialog(new QFileDialog())
{
    // The same panel on every desktop, which tests can drive.
    fDialog->setOption(QFileDialog::DontUseNativeDialog);
    fDialog->setFileMode(allowMultipleSelection ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    fDialog->setAcceptMode(QFileDialog::AcceptOpen);
    fDialog->setWindowTitle("Open");
    QObject::connect(fDialog, &QFileDialog::filesSelected, [looper, target](const QStringList& files) {
        BMessage refs(B_REFS_RECEIVED);
        for (const QString& file : files) {
            entry_ref ref;
            if (get_ref_for_path(QFile::encodeName(file).constData(), &ref) == B_OK)
                refs.AddRef("refs", &ref);
        }
        if (refs.CountRefs("refs") > 0)
            looper->PostMessage(&refs, target);
    });
}

BFilePanel::~BFilePanel() { delete fDialog; }

void BFilePanel::Show()
{
    fDialog->show();
    fDialog->raise();
    fDialog->activateWindow();
}

void BFilePanel::Hide() { fDialog->hide(); }
bool BFilePanel::IsShowing() const { return fDialog->isVisible(); }
