#pragma once
// TDataSource connects a dataset to the links that show or follow it; TDataLink is one
// such link, and TMasterDataLink the link by which a detail dataset follows its master.
//
// A dataset tells each of its data sources of every change (DataEvent); a data source
// passes the event on to its links while it is enabled and its dataset is active, and
// keeps its own copy of the dataset's state so a link can ask whether it is active or
// editing without reaching into the dataset.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "velmysql/db/db_types.h"
#include "velmysql/db/listener_list.h"
#include "velmysql/rtl/component.h"

namespace velmysql {

class TClassInfo;

class TDataSet;
class TDataLink;
class TField;

class TDataSource;
using TDataChangeEvent = std::function<void(TObject* Sender, TField* Field)>;

class TDataSource : public TComponent {
public:
    static const TClassInfo& ClassInfo();
    explicit TDataSource(TComponent* AOwner);
    ~TDataSource() override;

    TDataSet* DataSet() const { return dataSet_; }
    // Attaches the data source to ADataSet (detaching it from the previous one). A
    // dataset that follows this data source through its chain of masters would make a
    // circle and is refused.
    void SetDataSet(TDataSet* ADataSet);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool Value);
    bool AutoEdit() const { return autoEdit_; }
    void SetAutoEdit(bool Value) { autoEdit_ = Value; }
    // The dataset's state as last reported; dsInactive while disabled or unattached.
    TDataSetState State() const { return state_; }
    // Puts the dataset into edit mode when AutoEdit is set and it is browsing.
    void Edit();
    // True when ADataSet leads back to this data source through its chain of masters.
    bool IsLinkedTo(TDataSet* ADataSet) const;
    int DataLinkCount() const { return links_.Count(); }
    TDataLink* DataLinks(int Index) const { return links_[Index]; }

    TNotifyEvent OnStateChange;
    TDataChangeEvent OnDataChange;
    TNotifyEvent OnUpdateData;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    friend class TDataSet;
    friend class TDataLink;

    void DataEvent(TDataEvent Event, intptr_t Info);
    void UpdateState();
    void SetState(TDataSetState Value);
    void NotifyLinks(TDataEvent Event, intptr_t Info);
    void AddDataLink(TDataLink* Link);
    void RemoveDataLink(TDataLink* Link);

    TDataSet* dataSet_ = nullptr;
    bool enabled_ = true;
    bool autoEdit_ = true;
    TDataSetState state_ = dsInactive;
    TListenerList<TDataLink> links_;
};

// One follower of a data source. Descendants override the notifications they need.
class TDataLink : public TPersistent {
public:
    TDataLink();
    ~TDataLink() override;

    TDataSource* DataSource() const { return dataSource_; }
    void SetDataSource(TDataSource* ADataSource);
    TDataSet* DataSet() const;
    // The data source is enabled and its dataset open.
    bool Active() const { return active_; }
    // The dataset is in an edit mode and the link is not read-only.
    bool Editing() const { return editing_; }
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool Value);
    // How many records the link shows at once; the dataset keeps at least as many
    // record buffers as its largest link asks for.
    int BufferCount() const { return bufferCount_; }
    void SetBufferCount(int Value);
    // The position of the dataset's current record within the link's records.
    int ActiveRecord() const;
    int RecordCount() const;
    bool Edit();
    void UpdateRecord();

protected:
    virtual void ActiveChanged() {}
    virtual void CheckBrowseMode() {}
    virtual void DataSetChanged() { RecordChanged(nullptr); }
    virtual void DataSetScrolled(int) { DataSetChanged(); }
    virtual void EditingChanged() {}
    virtual void FocusControl(TField*) {}
    virtual void LayoutChanged() { DataSetChanged(); }
    virtual void RecordChanged(TField*) {}
    virtual void UpdateData() {}

private:
    friend class TDataSource;
    friend class TDataSet;
    void DataEvent(TDataEvent Event, intptr_t Info);
    void SetActive(bool Value);
    void SetEditing(bool Value);
    void UpdateState();

    TDataSource* dataSource_ = nullptr;
    int firstRecord_ = 0;
    int bufferCount_ = 1;
    bool active_ = false;
    bool editing_ = false;
    bool readOnly_ = false;
    bool updating_ = false;
};

// The link of a detail dataset to its master: it resolves FieldNames (master field names
// separated by ";") to the master's fields and calls OnMasterChange when the master
// moves or one of those fields changes, OnMasterDisable when the master closes.
class TMasterDataLink : public TDataLink {
public:
    // DataSet is the detail dataset that owns this link.
    explicit TMasterDataLink(TDataSet* DataSet);

    TDataSet* DetailDataSet() const { return detail_; }
    const std::string& FieldNames() const { return fieldNames_; }
    void SetFieldNames(const std::string& Value);
    const std::vector<TField*>& Fields() const { return fields_; }

    TNotifyEvent OnMasterChange;
    TNotifyEvent OnMasterDisable;

protected:
    void ActiveChanged() override;
    void CheckBrowseMode() override;
    void LayoutChanged() override;
    void RecordChanged(TField* Field) override;

private:
    TDataSet* detail_;
    std::string fieldNames_;
    std::vector<TField*> fields_;
};

}  // namespace velmysql
