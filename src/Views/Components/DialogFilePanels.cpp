#include "Views/Components/DialogFilePanels.h"

#include <QFileDialog>

namespace {

QFileDialog* jsonDialog(QWidget* parent, QFileDialog::AcceptMode mode, const FilePanels::Chosen& chosen)
{
    auto* dialog = new QFileDialog(parent);
    dialog->setAcceptMode(mode);
    dialog->setNameFilter(QStringLiteral("JSON files (*.json)"));
    dialog->setDefaultSuffix(QStringLiteral("json"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(dialog, &QFileDialog::fileSelected, dialog, chosen);
    return dialog;
}

} // namespace

DialogFilePanels::DialogFilePanels(QWidget* parent)
    : m_parent(parent)
{
}

void DialogFilePanels::chooseSaveLocation(const QString& fileName, Chosen chosen)
{
    QFileDialog* dialog = jsonDialog(m_parent, QFileDialog::AcceptSave, chosen);
    dialog->selectFile(fileName);
    dialog->open();
}

void DialogFilePanels::chooseFileToOpen(Chosen chosen)
{
    QFileDialog* dialog = jsonDialog(m_parent, QFileDialog::AcceptOpen, chosen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->open();
}
