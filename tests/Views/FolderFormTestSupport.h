#pragma once

#include "ScreenKeysHost.h"

#include "App/State/AppState.h"
#include "FailingStore.h"
#include "LibraryEditing.h"
#include "ManualScheduler.h"
#include "TempDir.h"
#include "Utilities/ToastManager.h"
#include "Views/MenuBar/forms/FolderFormView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QStringList>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

// A folder editor over a real library in a temporary folder, shown as its own window at the
// popover's size, with the toasts it shows and the screens it asks for recorded.
class FolderFormTest : public ::testing::Test {
protected:
    TempDir dir;
    ManualScheduler scheduler;
    bool failWrites = false;
    std::unique_ptr<LocalStore> storage = storeWithFailingWrites(dir.path(), &failWrites);
    LocalStore& store = *storage;
    AppState state{store};
    std::unique_ptr<FolderFormView> form;
    QStringList toasts;
    QStringList screens;
    QObject recorder;

    void SetUp() override
    {
        state.updateSettings([](AppSettings& s) { s.confirmDelete = false; });
        QObject::connect(&ToastManager::shared(), &ToastManager::messageChanged, &recorder, [this] {
            if (ToastManager::shared().message())
                toasts.append(*ToastManager::shared().message());
        });
    }

    void TearDown() override
    {
        form.reset();
        QApplication::processEvents();
    }

    QString addFolder(const QString& name, const std::optional<QString>& parent = std::nullopt,
        const std::optional<QString>& visibility = QStringLiteral("private"),
        const std::optional<QString>& icon = std::nullopt, const std::optional<QString>& color = std::nullopt)
    {
        const std::optional<QString> id = state.addGroup(name, parent, icon, color, visibility.value_or(QString()));
        EXPECT_TRUE(id.has_value());
        if (!visibility) {
            editLibrary(state, [&](UserData& d) {
                for (Group& g : d.groups) {
                    if (g.id == *id)
                        g.visibility.reset();
                }
            });
        }
        return *id;
    }

    const Group* folder(const QString& id) const
    {
        for (const Group& g : state.userData().groups) {
            if (g.id == id)
                return &g;
        }
        return nullptr;
    }

    const Group* folderNamed(const QString& name) const
    {
        for (const Group& g : state.userData().groups) {
            if (g.name == name)
                return &g;
        }
        return nullptr;
    }

    FolderFormView& open(const std::optional<QString>& editedId = std::nullopt)
    {
        std::optional<Group> editing;
        if (editedId)
            editing = *folder(*editedId);
        form = std::make_unique<FolderFormView>(state, editing);
        QObject::connect(form.get(), &FolderFormView::screenRequested, &recorder,
            [this](const PopoverScreen& screen) { screens.append(screen.tag()); });
        new ScreenKeysHost(form.get());
        form->resize(340, 560);
        form->show();
        QApplication::setActiveWindow(form.get());
        QApplication::processEvents();
        return *form;
    }

    // The first widget of type T that `matches`.
    template <class T, class Matches> T* find(Matches matches, const QString& what) const
    {
        for (T* widget : form->findChildren<T*>()) {
            if (matches(widget))
                return widget;
        }
        ADD_FAILURE() << "no " << qPrintable(what);
        return nullptr;
    }

    template <class T = QAbstractButton> T* named(const QString& name) const
    {
        return find<T>([&](const T* w) { return w->accessibleName() == name; }, QStringLiteral("widget named ") + name);
    }

    QAbstractButton* button(const QString& title) const
    {
        return find<QAbstractButton>(
            [&](const QAbstractButton* b) { return b->text() == title; }, QStringLiteral("button titled ") + title);
    }

    void click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center()); }

    void typeName(const QString& text)
    {
        QWidget* field = named<QWidget>(QStringLiteral("Folder name"));
        field->setFocus();
        QTest::keyClicks(field, text);
    }

    // Types over the hex field's text; returns the field, which keeps the focus.
    QLineEdit* typeHex(const QString& text)
    {
        QLineEdit* field = form->findChild<FlowingSwatches*>()->hexField();
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, text);
        return field;
    }
};
