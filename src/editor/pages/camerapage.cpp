#include "editor/pages/camerapage.h"

#include "editor/dialogs/camset.h"
#include "editor/messages.h"
#include "formats/language.h"
#include "formats/serialports.h"

#include <QComboBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>

namespace quillon::editor {

namespace {

// Columns of the camera list: the channel number, the four shown values, and the three list
// indexes as stored, which the shown texts are rebuilt from.
enum Column {
    kChannelColumn,
    kTypeTextColumn,
    kAddressColumn,
    kProtocolTextColumn,
    kBaudTextColumn,
    kTypeColumn,
    kProtocolColumn,
    kBaudColumn,
    kColumnCount,
};

// Wide enough for the longest type name and header in either language with this toolkit's fonts.
constexpr int kColumnWidths[] = {75, 120, 110, 150, 70};

constexpr TextEntry kTexts[] = {
    {"BitBtn15", "编    辑", "Edit"},
};

} // namespace

CameraPage::CameraPage(SetupContext &context, QWidget *sheet) : SetupPage(context, sheet)
{
    PTZComboBox = place<QComboBox>("PTZComboBox", sheet, 16, 16, 100, 21);
    PTZComboBox->addItems(formats::serialPortNames());

    ListView2 = place<QTreeWidget>("ListView2", sheet, 16, 48, 545, 480);
    ListView2->setRootIsDecorated(false);
    ListView2->setColumnCount(kColumnCount);
    ListView2->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView2->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView2->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView2->header()->setSectionsClickable(false);
    for (int column = 0; column < kTypeColumn; ++column)
        ListView2->setColumnWidth(column, kColumnWidths[column]);
    for (int column = kTypeColumn; column < kColumnCount; ++column)
        ListView2->setColumnHidden(column, true);
    QObject::connect(
        ListView2, &QTreeWidget::itemDoubleClicked, sheet, [this] { BitBtn15Click(); });

    BitBtn15 = place<QPushButton>("BitBtn15", sheet, 575, 48, 100, 25);
    QObject::connect(BitBtn15, &QPushButton::clicked, sheet, [this] { BitBtn15Click(); });
}

void CameraPage::fillNameTables()
{
    m_names.fill();
}

void CameraPage::load()
{
    const settings::ProfileFile file = m_context.file(settings::SettingsFile::CameraSet);
    PTZComboBox->setCurrentIndex(formats::readControlPort(file));

    ListView2->clear();
    QList<QTreeWidgetItem *> rows;
    for (int channel = 0; channel < m_context.channelCount; ++channel) {
        auto *row = new QTreeWidgetItem;
        row->setText(kChannelColumn, QString::number(channel + 1));
        showRecord(row, formats::readCameraRecord(file, channel));
        rows.append(row);
    }
    ListView2->addTopLevelItems(rows);
}

void CameraPage::refreshListTexts()
{
    for (int index = 0; index < ListView2->topLevelItemCount(); ++index) {
        QTreeWidgetItem *row = ListView2->topLevelItem(index);
        showRecord(row, recordOf(row));
    }
}

void CameraPage::savePort()
{
    formats::writeControlPort(m_context.file(settings::SettingsFile::CameraSet),
        formats::storedSerialPort(PTZComboBox->currentText()));
}

formats::CameraRecord CameraPage::recordOf(const QTreeWidgetItem *row) const
{
    formats::CameraRecord record;
    record.decoderAddress = row->text(kAddressColumn).toInt();
    record.cameraType = row->text(kTypeColumn).toInt();
    record.protocol = row->text(kProtocolColumn).toInt();
    record.baudRate = row->text(kBaudColumn).toInt();
    return record;
}

void CameraPage::showRecord(QTreeWidgetItem *row, const formats::CameraRecord &record) const
{
    row->setText(kTypeTextColumn, m_names.cameraType(record.cameraType));
    row->setText(kAddressColumn, QString::number(record.decoderAddress));
    row->setText(kProtocolTextColumn, m_names.protocol(record.protocol));
    row->setText(kBaudTextColumn, m_names.baudRate(record.baudRate));
    row->setText(kTypeColumn, QString::number(record.cameraType));
    row->setText(kProtocolColumn, QString::number(record.protocol));
    row->setText(kBaudColumn, QString::number(record.baudRate));
}

void CameraPage::BitBtn15Click()
{
    QList<int> selected;
    for (int index = 0; index < ListView2->topLevelItemCount(); ++index) {
        if (ListView2->topLevelItem(index)->isSelected())
            selected.append(index);
    }
    if (selected.isEmpty())
        return;

    TCamSetForm dialog(m_names, m_sheet->window());
    if (selected.size() == 1)
        dialog.presetChannel(selected.first(), recordOf(ListView2->topLevelItem(selected.first())));
    else
        dialog.presetSeveral();
    if (dialog.exec() != QDialog::Accepted)
        return;

    // Several rows are written as one save of the file; a save that fails is said, since the
    // rows already show the new values.
    m_context.store.beginBatch();
    const settings::ProfileFile file = m_context.file(settings::SettingsFile::CameraSet);
    for (const int index : selected) {
        QTreeWidgetItem *row = ListView2->topLevelItem(index);
        formats::CameraRecord record = recordOf(row);
        if (selected.size() == 1)
            record.decoderAddress = dialog.decoderAddress();
        record.cameraType = dialog.cameraType();
        record.protocol = dialog.protocol();
        record.baudRate = dialog.baudRate();
        showRecord(row, record);
        formats::writeCameraRecord(file, index, record);
    }
    if (!m_context.store.endBatch())
        showFailure(m_sheet->window(),
            formats::pick("不能保存摄像机设置，修改没有写入本地副本。",
                "Can not save the camera settings; the change was not written to the local copy."));
}

std::span<const TextEntry> CameraPage::texts() const
{
    return kTexts;
}

void CameraPage::retranslateRows()
{
    ListView2->setHeaderLabels({formats::pick("通道号", "Channel no"),
        formats::pick("摄像机类型", "Camera type"), formats::pick("解码器地址", "Decoder address"),
        formats::pick("控制协议", "Control protocol"), formats::pick("波特率", "Baudrate")});
}

} // namespace quillon::editor
