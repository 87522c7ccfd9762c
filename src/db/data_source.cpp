#include "velmysql/db/data_source.h"

#include <algorithm>

#include "velmysql/db/dataset.h"
#include "velmysql/db/db_error.h"

namespace velmysql {

// ---------------------------------------------------------------- TDataSource

TDataSource::TDataSource(TComponent* AOwner) : TComponent(AOwner) {}

TDataSource::~TDataSource() {
    Destroying();
    OnStateChange = nullptr;
    OnDataChange = nullptr;
    SetDataSet(nullptr);
    while (!links_.Empty()) links_.Back()->SetDataSource(nullptr);
}

bool TDataSource::IsLinkedTo(TDataSet* ADataSet) const {
    for (int hops = 0; ADataSet != nullptr && hops < 10000; ++hops) {
        TDataSource* ds = ADataSet->GetDataSource();
        if (ds == nullptr) return false;
        if (ds == this) return true;
        ADataSet = ds->DataSet();
    }
    return ADataSet != nullptr;
}

void TDataSource::SetDataSet(TDataSet* ADataSet) {
    if (ADataSet == dataSet_) return;
    if (ADataSet != nullptr && IsLinkedTo(ADataSet)) DatabaseError(dbtext::SCircularDataLink, this);
    if (dataSet_ != nullptr) {
        dataSet_->RemoveDataSource(this);
        RemoveFreeNotification(dataSet_);
    }
    dataSet_ = ADataSet;
    if (dataSet_ != nullptr) {
        FreeNotification(dataSet_);
        dataSet_->AddDataSource(this);
    }
    UpdateState();
}

void TDataSource::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == dataSet_) {
        dataSet_->RemoveDataSource(this);
        dataSet_ = nullptr;
        UpdateState();
    }
}

void TDataSource::SetEnabled(bool Value) {
    enabled_ = Value;
    UpdateState();
}

void TDataSource::Edit() {
    if (autoEdit_ && state_ == dsBrowse && dataSet_ != nullptr) dataSet_->Edit();
}

void TDataSource::UpdateState() {
    SetState(enabled_ && dataSet_ != nullptr ? dataSet_->State() : dsInactive);
}

void TDataSource::SetState(TDataSetState Value) {
    if (state_ == Value) return;
    const TDataSetState prior = state_;
    state_ = Value;
    NotifyLinks(deUpdateState, 0);
    if (ComponentState().Contains(csDestroying)) return;
    if (OnStateChange) OnStateChange(this);
    if (prior == dsInactive && OnDataChange) OnDataChange(this, nullptr);
}

void TDataSource::NotifyLinks(TDataEvent Event, intptr_t Info) {
    // A link's handler may detach links (a detail closing may unlink itself).
    links_.ForEach([&](TDataLink* link) { link->DataEvent(Event, Info); });
}

void TDataSource::DataEvent(TDataEvent Event, intptr_t Info) {
    if (Event == deUpdateState) {
        UpdateState();
        return;
    }
    if (state_ == dsInactive) return;
    NotifyLinks(Event, Info);
    switch (Event) {
        case deFieldChange:
            if (OnDataChange) OnDataChange(this, reinterpret_cast<TField*>(Info));
            break;
        case deRecordChange:
        case deDataSetChange:
        case deDataSetScroll:
        case deLayoutChange:
            if (OnDataChange) OnDataChange(this, nullptr);
            break;
        case deUpdateRecord:
            if (OnUpdateData) OnUpdateData(this);
            break;
        default:
            break;
    }
}

void TDataSource::AddDataLink(TDataLink* Link) {
    links_.Add(Link);
    Link->dataSource_ = this;
    if (dataSet_ != nullptr) dataSet_->UpdateBufferCount();
}

void TDataSource::RemoveDataLink(TDataLink* Link) {
    links_.Remove(Link);
    Link->dataSource_ = nullptr;
}

// ---------------------------------------------------------------- TDataLink

TDataLink::TDataLink() = default;

TDataLink::~TDataLink() {
    if (dataSource_ != nullptr) dataSource_->RemoveDataLink(this);
    dataSource_ = nullptr;
}

TDataSet* TDataLink::DataSet() const { return dataSource_ != nullptr ? dataSource_->DataSet() : nullptr; }

void TDataLink::SetDataSource(TDataSource* ADataSource) {
    if (ADataSource == dataSource_) return;
    if (dataSource_ != nullptr) dataSource_->RemoveDataLink(this);
    if (ADataSource != nullptr) ADataSource->AddDataLink(this);
    UpdateState();
}

void TDataLink::SetReadOnly(bool Value) {
    if (readOnly_ == Value) return;
    readOnly_ = Value;
    UpdateState();
}

void TDataLink::SetBufferCount(int Value) {
    if (Value < 1) Value = 1;
    if (bufferCount_ == Value) return;
    bufferCount_ = Value;
    if (active_ && DataSet() != nullptr) DataSet()->UpdateBufferCount();
}

int TDataLink::ActiveRecord() const {
    TDataSet* ds = DataSet();
    if (ds == nullptr || dataSource_->State() == dsSetKey) return 0;
    return ds->ActiveRecord() - firstRecord_;
}

int TDataLink::RecordCount() const {
    TDataSet* ds = DataSet();
    if (ds == nullptr) return 0;
    const int count = ds->WindowRecordCount() - firstRecord_;
    return std::clamp(count, 0, bufferCount_);
}

bool TDataLink::Edit() {
    if (!readOnly_ && dataSource_ != nullptr) dataSource_->Edit();
    return editing_;
}

void TDataLink::UpdateRecord() {
    updating_ = true;
    try {
        UpdateData();
    } catch (...) {
        updating_ = false;
        throw;
    }
    updating_ = false;
}

void TDataLink::SetActive(bool Value) {
    if (active_ == Value) return;
    active_ = Value;
    if (Value)
        firstRecord_ = 0;
    else
        firstRecord_ = 0;
    ActiveChanged();
}

void TDataLink::SetEditing(bool Value) {
    if (editing_ == Value) return;
    editing_ = Value;
    EditingChanged();
}

void TDataLink::UpdateState() {
    SetActive(dataSource_ != nullptr && dataSource_->State() != dsInactive);
    SetEditing(dataSource_ != nullptr && dsEditModes.Contains(dataSource_->State()) && !readOnly_);
}

void TDataLink::DataEvent(TDataEvent Event, intptr_t Info) {
    if (Event == deUpdateState) {
        UpdateState();
        return;
    }
    if (!active_) return;
    switch (Event) {
        case deFieldChange:
        case deRecordChange:
            if (!updating_) RecordChanged(reinterpret_cast<TField*>(Info));
            break;
        case deDataSetChange:
        case deDataSetScroll:
        case deLayoutChange: {
            // Keep the dataset's active record inside the records this link shows.
            int count = 0;
            if (dataSource_->State() != dsSetKey) {
                const int active = DataSet()->ActiveRecord();
                const int first = firstRecord_ + static_cast<int>(Info);
                const int last = first + bufferCount_ - 1;
                if (active > last)
                    count = active - last;
                else if (active < first)
                    count = active - first;
                firstRecord_ = std::max(0, first + count);
            }
            if (Event == deDataSetChange)
                DataSetChanged();
            else if (Event == deDataSetScroll)
                DataSetScrolled(count);
            else
                LayoutChanged();
            break;
        }
        case deUpdateRecord:
            UpdateRecord();
            break;
        case deCheckBrowseMode:
            CheckBrowseMode();
            break;
        case deFocusControl:
            FocusControl(reinterpret_cast<TField*>(Info));
            break;
        default:
            break;
    }
}

// ---------------------------------------------------------------- TMasterDataLink

TMasterDataLink::TMasterDataLink(TDataSet* DataSet) : detail_(DataSet) {}

void TMasterDataLink::SetFieldNames(const std::string& Value) {
    if (fieldNames_ == Value) return;
    fieldNames_ = Value;
    ActiveChanged();
}

void TMasterDataLink::ActiveChanged() {
    fields_.clear();
    if (Active()) {
        try {
            DataSet()->GetFieldList(fields_, fieldNames_);
        } catch (...) {
            fields_.clear();
            throw;
        }
    }
    if (detail_ != nullptr && detail_->Active() && !detail_->ComponentState().Contains(csDestroying)) {
        if (Active() && !fields_.empty()) {
            if (OnMasterChange) OnMasterChange(this);
        } else {
            if (OnMasterDisable) OnMasterDisable(this);
        }
    }
}

void TMasterDataLink::CheckBrowseMode() {
    if (detail_ != nullptr && detail_->Active()) detail_->CheckBrowseMode();
}

void TMasterDataLink::LayoutChanged() { ActiveChanged(); }

void TMasterDataLink::RecordChanged(TField* Field) {
    if (DataSource()->State() == dsSetKey || detail_ == nullptr || !detail_->Active() || fields_.empty()) return;
    if (Field != nullptr && std::find(fields_.begin(), fields_.end(), Field) == fields_.end()) return;
    if (OnMasterChange) OnMasterChange(this);
}

}  // namespace velmysql
