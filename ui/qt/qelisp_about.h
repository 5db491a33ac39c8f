#pragma once
// The about box: the program's icon, the firmware's model and version under
// the one-line description, and the maker's notice with this program's
// version; laid out from the Windows
// dialog template.
#include <QDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

class QelIspAbout : public QDialog {
    Q_OBJECT

public:
    QelIspAbout(const QString& text, const QString& notice, QWidget* parent = nullptr);

private:
    QPushButton okButton_{this};
    QLabel icon_{this};
    QPlainTextEdit text_{this};
    QLabel notice_{this};
};
