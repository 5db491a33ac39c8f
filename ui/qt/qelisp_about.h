#pragma once
// The about box: the program's icon, the firmware's model and version under
// the one-line description, and the maker's notice; laid out from the Windows
// dialog template.
#include <QDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

class QelIspAbout : public QDialog {
    Q_OBJECT

public:
    explicit QelIspAbout(const QString& text, QWidget* parent = nullptr);

private:
    QPushButton okButton_{this};
    QLabel icon_{this};
    QPlainTextEdit text_{this};
    QLabel notice_{this};
};
