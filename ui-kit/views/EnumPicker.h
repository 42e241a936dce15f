#pragma once

#include "platform/observation/Binding.h"
#include "ui-kit/utilities/ValueHelpers.h"

#include <QComboBox>
#include <QSignalBlocker>

#include <functional>
#include <vector>

namespace kestrova {

// A pop-up picker over every case of an enumeration, bound to the chosen value: the rows are the cases in
// `allCases` order, each made by `rowTitle` (told whether it is the chosen one), and choosing a row writes
// that case into the binding. A value from outside moves the selection when refresh() is called (the
// owner calls it when the bound key changes). A bound value that is none of the cases shows no choice.
template <typename Enumeration> class EnumPicker final : public QComboBox {
public:
    using RowTitle = std::function<QString(const Enumeration &value, bool isSelected)>;

    EnumPicker(platform::Binding<Enumeration> enumBinding, std::vector<Enumeration> allCases,
               RowTitle rowTitle, QWidget *parent = nullptr)
        : QComboBox(parent)
        , m_enumBinding(std::move(enumBinding))
        , m_allCases(std::move(allCases))
        , m_rowTitle(std::move(rowTitle))
        , m_selection(caseIndexBinding(m_enumBinding, m_allCases)) {
        refresh();
        QObject::connect(this, &QComboBox::activated, this, [this](int index) {
            m_selection.set(index);
            refresh();
        });
    }

    // Builds the rows again from the bound value.
    void refresh() {
        const QSignalBlocker blocker(this);
        const Enumeration chosen = m_enumBinding.get();
        clear();
        for (const Enumeration &value : m_allCases)
            addItem(m_rowTitle(value, value == chosen));
        setCurrentIndex(m_selection.get());
    }

    const std::vector<Enumeration> &allCases() const { return m_allCases; }

private:
    platform::Binding<Enumeration> m_enumBinding;
    std::vector<Enumeration> m_allCases;
    RowTitle m_rowTitle;
    platform::Binding<int> m_selection;
};

} // namespace kestrova
