#pragma once
// TDataSet: the framework's dataset. It keeps the dataset state, a window of record
// buffers over the records a descendant delivers, the fields and their definitions, and
// tells data sources (and through them data-aware links) of every change.
//
// A descendant supplies the records through the record-buffer protocol: it allocates
// and frees buffers (AllocRecordBuffer/FreeRecordBuffer), fills one on request
// (GetRecord with gmCurrent/gmNext/gmPrior, answering grOK/grBOF/grEOF/grError), moves
// its cursor (InternalFirst/InternalLast/InternalGotoBookmark/InternalSetToRecord),
// stores bookmark data and flags in buffers, and reads and writes field values in their
// native formats (GetFieldData/SetFieldData).
//
// The buffer window. The dataset holds BufferCount buffers for the records shown (as
// many as the largest BufferCount of its data links, at least one) plus one spare. They
// form a ring: logical slot i is ring_[(head_ + i) % ring size]. Slots 0..RecordCount-1
// hold records in cursor order; the others are free. Scrolling one record past either
// end of a full window fetches into the free slot and turns the ring by one, so no
// buffer is copied or reallocated while navigating; only inserting into the middle of the
// window (Insert) or re-centring it (Resync) moves buffer pointers. ActiveRecord is the
// logical slot of the current record; CurrentRecord is the slot the descendant's cursor
// stands on (-1 when unknown, see CursorPosChanged).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "velmysql/db/database_error.h"
#include "velmysql/db/db_types.h"
#include "velmysql/db/field.h"
#include "velmysql/db/field_defs.h"
#include "velmysql/db/listener_list.h"
#include "velmysql/db/check_constraints.h"
#include "velmysql/db/params.h"
#include "velmysql/rtl/component.h"
#include "velmysql/rtl/variant.h"

namespace velmysql {

class TClassInfo;

class TDataSource;
class TDataLink;
class TStream;
class TIndexDef;
class TIndexDefs;
class TStrings;

class TDataSet;
using TDataSetNotifyEvent = std::function<void(TDataSet* DataSet)>;
using TDataSetErrorEvent = std::function<void(TDataSet* DataSet, EDatabaseError& E, TDataAction& Action)>;
using TFilterRecordEvent = std::function<void(TDataSet* DataSet, bool& Accept)>;

// The states in which field values may be written.
constexpr TSet<TDataSetState> dsWriteModes{dsEdit, dsInsert, dsSetKey, dsCalcFields, dsFilter,
                                           dsNewValue, dsInternalCalc};
constexpr TSet<TDataSetState> dsEditModes{dsEdit, dsInsert, dsSetKey};

// Destruction: a descendant's destructor calls CloseOnDestroy() before it frees anything
// of its own. By the time this base destructor runs, the descendant's record-buffer
// protocol can no longer be called, so an open dataset cannot be closed from here.
class TDataSet : public TComponent {
public:
    static const TClassInfo& ClassInfo();
    explicit TDataSet(TComponent* AOwner);
    ~TDataSet() override;

    // ---- opening and closing
    void Open();
    void Close();
    bool Active() const;
    void SetActive(bool Value);
    TDataSetState State() const { return state_; }
    bool Modified() const { return modified_; }
    void CheckActive() const;
    void CheckInactive() const;

    // ---- navigation
    void First();
    void Last();
    void Next();
    void Prior();
    // Moves the current record by Distance; answers how far it actually moved.
    int MoveBy(int Distance);
    bool Bof() const { return bof_; }
    bool Eof() const { return eof_; }
    int RecNo() { return GetRecNo(); }
    void SetRecNoValue(int Value) { SetRecNo(Value); }
    int RecordCount() { return GetRecordCount(); }
    bool IsEmpty() const;
    virtual bool IsSequenced();

    // ---- bookmarks
    TBookmark GetBookmark();
    void GotoBookmark(const TBookmark& Bookmark);
    virtual bool BookmarkValid(const TBookmark& Bookmark);
    // Negative, zero or positive as Bookmark1 lies before, at or after Bookmark2.
    virtual int CompareBookmarks(const TBookmark& Bookmark1, const TBookmark& Bookmark2);
    TBookmarkStr GetBookmarkStr();
    void SetBookmarkStr(const TBookmarkStr& Value);
    bool BookmarkAvailable();
    int BookmarkSize() const { return bookmarkSize_; }

    // ---- cursor and buffers
    void Resync(TResyncMode Mode);
    void CursorPosChanged() { currentRecord_ = -1; }
    void UpdateCursorPos();
    void Refresh();
    void CheckBrowseMode();
    void UpdateRecord();

    // ---- editing
    void Edit();
    void Insert();
    void Append();
    void Post();
    void Cancel();
    void Delete();
    void ClearFields();
    bool CanModify() { return GetCanModify(); }

    // ---- data-aware controls
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return disableCount_ != 0; }
    // Handles a change of the dataset, then tells the data sources (unless controls are
    // disabled, in which case one summary event is sent by EnableControls).
    virtual void DataEvent(TDataEvent Event, intptr_t Info);

    // ---- fields
    TFields& Fields() { return *fields_; }
    const TFields& Fields() const { return *fields_; }
    int FieldCount() const;
    TFieldDefs& FieldDefs() { return *fieldDefs_; }
    // Rebuilds FieldDefs from the descendant (opening the cursor for it when closed).
    void UpdateFieldDefs();
    TField* FindField(const std::string& FieldName) const;
    TField* FieldByName(const std::string& FieldName) const;
    TField* FieldByNumber(int FieldNo) const;
    // Appends the fields named in FieldNames (separated by ";") to List; an unknown name
    // raises the field-not-found error.
    void GetFieldList(std::vector<TField*>& List, const std::string& FieldNames) const;
    void GetFieldNames(std::vector<std::string>& List) const;
    // The value of one field, or an array of values for several names separated by ";".
    Variant GetFieldValue(const std::string& FieldNames) const;
    void SetFieldValue(const std::string& FieldNames, const Variant& Value);
    bool DefaultFields() const { return defaultFields_; }
    bool AutoCalcFields() const { return autoCalcFields_; }
    void SetAutoCalcFields(bool Value) { autoCalcFields_ = Value; }
    int CalcFieldsSize() const { return calcFieldsSize_; }
    TCheckConstraints& Constraints() { return *constraints_; }

    // ---- field values (the descendant's side; fields call these)
    // Copies the native value of Field for the active record into Buffer; false when the
    // value is NULL. A null Buffer only asks whether a value is present.
    virtual bool GetFieldData(TField* Field, void* Buffer);
    // Stores the native value in Buffer (null for NULL) into the active record.
    virtual void SetFieldData(TField* Field, const void* Buffer);
    // The bytes of a string field's value (all of them, zero bytes included); false for
    // NULL. String fields read and write through these two; the defaults go through the
    // zero-terminated native format of GetFieldData/SetFieldData (so they end a value at
    // its first zero byte). A dataset that keeps values with their length overrides both;
    // SetFieldString calls Field->ValidateString(Value) before it stores.
    virtual bool GetFieldString(TField* Field, std::string& Value);
    virtual void SetFieldString(TField* Field, const std::string* Value);
    // A stream over Field's blob value in the active record; the caller owns it.
    virtual std::unique_ptr<TStream> CreateBlobStream(TField* Field, TBlobStreamMode Mode);
    virtual void CloseBlob(TField* Field);

    // ---- searching and filtering
    virtual bool Locate(const std::string& KeyFields, const Variant& KeyValues, TLocateOptions Options);
    virtual Variant Lookup(const std::string& KeyFields, const Variant& KeyValues,
                           const std::string& ResultFields);
    const std::string& Filter() const { return filterText_; }
    void SetFilter(const std::string& Value) { SetFilterText(Value); }
    bool Filtered() const { return filtered_; }
    void SetFilteredValue(bool Value) { SetFiltered(Value); }

    // ---- master/detail
    TDataSource* DataSource() { return GetDataSource(); }
    virtual TDataSource* GetDataSource();
    // True when DataSource leads back to this dataset through the chain of masters.
    bool IsLinkedTo(TDataSource* DataSource);

    // ---- the window, for data links and descendants
    TRecordBuffer ActiveBuffer() const;
    int ActiveRecord() const { return activeRecord_; }
    int BufferCount() const { return bufferCount_; }
    int WindowRecordCount() const { return recordCount_; }
    // Makes the window hold at least as many records as the data links ask for.
    void UpdateBufferCount();
    // Changes whenever the rows this dataset shows may have changed (open, close, post,
    // delete, refresh, filter); lookup fields of other datasets keep their cached values
    // while it stays the same.
    uint64_t RowsVersion() const { return rowsVersion_; }

    // ---- events
    TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
    TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
    TDataSetNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
    TDataSetNotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
    TDataSetNotifyEvent BeforeRefresh, AfterRefresh;
    TDataSetNotifyEvent OnCalcFields, OnNewRecord;
    TDataSetErrorEvent OnEditError, OnPostError, OnDeleteError;
    TFilterRecordEvent OnFilterRecord;

    // ---- provider support: what a data provider asks of a dataset. The defaults here
    // describe a dataset that is not SQL based and applies no updates itself.
    virtual void PSExecute();
    virtual int PSExecuteStatement(const std::string& ASQL, TParams* AParams,
                                   std::unique_ptr<TDataSet>* ResultSet = nullptr);
    virtual void PSGetAttributes(std::vector<std::pair<std::string, Variant>>& List);
    virtual std::unique_ptr<TIndexDefs> PSGetIndexDefs(TIndexOptions IndexTypes);
    virtual std::unique_ptr<TIndexDef> PSGetDefaultOrder();
    virtual std::string PSGetKeyFields();
    virtual TParams* PSGetParams();
    virtual std::string PSGetQuoteChar();
    virtual std::string PSGetTableName();
    virtual std::unique_ptr<EDatabaseError> PSGetUpdateException(const Exception* E,
                                                                 const EDatabaseError* Prev);
    virtual bool PSInTransaction();
    virtual bool PSIsSQLBased();
    virtual bool PSIsSQLSupported();
    virtual void PSReset();
    virtual void PSSetCommandText(const std::string& CommandText);
    virtual void PSSetParams(TParams* AParams);
    virtual void PSStartTransaction();
    virtual void PSEndTransaction(bool Commit);
    virtual bool PSUpdateRecord(TUpdateKind UpdateKind, TDataSet* Delta);

protected:
    // ---- the record-buffer protocol
    virtual TRecordBuffer AllocRecordBuffer() = 0;
    virtual void FreeRecordBuffer(TRecordBuffer& Buffer) = 0;
    virtual TGetResult GetRecord(TRecordBuffer Buffer, TGetMode GetMode, bool DoCheck) = 0;
    virtual void InternalInitRecord(TRecordBuffer Buffer);
    virtual int GetRecordSize();
    virtual void GetBookmarkData(TRecordBuffer Buffer, void* Data);
    virtual void SetBookmarkData(TRecordBuffer Buffer, const void* Data);
    virtual TBookmarkFlag GetBookmarkFlag(TRecordBuffer Buffer);
    virtual void SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value);
    virtual void InternalGotoBookmark(const void* Bookmark);
    virtual void InternalSetToRecord(TRecordBuffer Buffer);
    virtual void InternalFirst();
    virtual void InternalLast();
    virtual int GetRecordCount();
    virtual int GetRecNo();
    virtual void SetRecNo(int Value);
    virtual void InternalOpen() = 0;
    virtual void InternalClose() = 0;
    virtual bool IsCursorOpen() = 0;
    virtual void InternalInitFieldDefs() = 0;
    // What to do with an exception that must not escape (an error while a form is
    // loaded in a design tool): the default hands it to the application's exception
    // handler (HandleException). Called inside the catch block.
    virtual void InternalHandleException();
    virtual void InternalRefresh();
    virtual void InternalEdit();
    virtual void InternalInsert();
    virtual void InternalPost();
    virtual void InternalCancel();
    virtual void InternalDelete();
    virtual void InternalAddRecord(TRecordBuffer Buffer, bool Append);
    virtual bool GetCanModify();
    virtual void ClearCalcFields(TRecordBuffer Buffer);
    virtual TFieldClass GetFieldClass(TFieldType FieldType);
    virtual bool GetIsIndexField(TField* Field);
    virtual void SetFiltered(bool Value);
    virtual void SetFilterText(const std::string& Value);
    virtual void OpenCursor(bool InfoQuery);
    virtual void CloseCursor();
    virtual void InitRecord(TRecordBuffer Buffer);
    // Run by Post before InternalPost: the framework refuses a NULL in a required data
    // field. A dataset whose server fills unassigned columns (defaults, auto-increment)
    // replaces it with its own rule.
    virtual void CheckRequiredFields();

    // ---- the events, one place each so descendants can hook them
    virtual void DoBeforeOpen();
    virtual void DoAfterOpen();
    virtual void DoBeforeClose();
    virtual void DoAfterClose();
    virtual void DoBeforeInsert();
    virtual void DoAfterInsert();
    virtual void DoBeforeEdit();
    virtual void DoAfterEdit();
    virtual void DoBeforePost();
    virtual void DoAfterPost();
    virtual void DoBeforeCancel();
    virtual void DoAfterCancel();
    virtual void DoBeforeDelete();
    virtual void DoAfterDelete();
    virtual void DoBeforeScroll();
    virtual void DoAfterScroll();
    virtual void DoBeforeRefresh();
    virtual void DoAfterRefresh();
    virtual void DoOnCalcFields();
    virtual void DoOnNewRecord();

    // ---- fields
    // Creates a field for every field definition (not for hidden ones); the dataset owns them.
    virtual void CreateFields();
    // Frees every field of the dataset.
    virtual void DestroyFields();
    // Binding gives each data field its number from FieldDefs (checking its type) and
    // lays the calculated and lookup fields out in the calculation area.
    virtual void BindFields(bool Binding);
    // Runs OnCalcFields and the lookups for Buffer in the calc-fields state.
    virtual void GetCalcFields(TRecordBuffer Buffer);
    virtual void CalculateFields(TRecordBuffer Buffer);

    void Loaded() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

    // ---- services for descendants
    // The first statement of a descendant's destructor: marks the component as being
    // destroyed and closes it without events; nothing it raises escapes.
    void CloseOnDestroy() noexcept;
    // A descendant that changes its rows outside the framework's operations tells the
    // lookup fields of other datasets with this.
    void RowsChanged() { ++rowsVersion_; }
    // The calculation area of a record holds one slot per calculated or lookup field, at
    // the field's Offset: a flag byte (0 for NULL) and then the native value (DataSize
    // bytes). A cleared area (all zero) reads NULL for every field. These read and write
    // one slot; ClearCalcFields of a descendant zeroes the area.
    static bool GetCalcFieldData(const char* CalcArea, const TField* Field, void* Buffer);
    static void SetCalcFieldData(char* CalcArea, const TField* Field, const void* Buffer);
    void SetState(TDataSetState Value);
    void SetBookmarkSize(int Value) { bookmarkSize_ = Value; }
    void SetBof(bool Value) { bof_ = Value; }
    void SetEof(bool Value) { eof_ = Value; }
    void SetModified(bool Value) { modified_ = Value; }
    TRecordBuffer CalcBuffer() const { return calcBuffer_; }
    // Logical slot Index of the window (0..BufferCount; BufferCount is the spare).
    TRecordBuffer Buffers(int Index) const;
    int CurrentRecord() const { return currentRecord_; }
    bool GetNextRecord();
    bool GetPriorRecord();
    int GetNextRecords();
    int GetPriorRecords();
    void ClearBuffers();
    void ActivateBuffers();
    void SetCurrentRecord(int Index);
    void CheckCanModify();
    void SetDefaultFields(bool Value) { defaultFields_ = Value; }
    // Treats EDatabaseError from Operation with ErrorEvent (retry, abort or fail).
    void CheckOperation(const std::function<void()>& Operation, const TDataSetErrorEvent& ErrorEvent);

private:
    friend class TField;
    friend class TFieldDef;
    friend class TDataSource;

    void DoInternalOpen();
    void OpenCursorComplete();
    // First and Last: the cursor to one end, the window filled from there.
    void ScrollToEnd(bool ToLast);
    void SetBufListSize(int Value);
    void MoveBuffer(int CurIndex, int NewIndex);
    void InsertAppend(bool ToEnd);
    // After a failed insert or append: browse state, the cursor back on Current (the
    // first record when empty) and the window read again around it.
    void RestoreWindow(const TBookmark& Current);
    // Closes without events, whatever the descendant or a listener raises.
    void ForceClose() noexcept;
    void SetBufferCount(int Value);
    TRecordBuffer& Slot(int Index);
    void AddDataSource(TDataSource* DataSource);
    void RemoveDataSource(TDataSource* DataSource);
    void CalcLookupValues();
    bool ScanLocate(const std::string& KeyFields, const Variant& KeyValues, TLocateOptions Options,
                    bool SyncCursor, const std::function<void()>& OnFound);

    TDataSetState state_ = dsInactive;
    bool modified_ = false;
    bool bof_ = true;
    bool eof_ = true;
    bool streamedActive_ = false;
    bool internalOpenComplete_ = false;
    bool defaultFields_ = false;
    bool autoCalcFields_ = true;
    bool filtered_ = false;
    std::string filterText_;

    // The ring of record buffers (see the file comment).
    std::vector<TRecordBuffer> ring_;
    int head_ = 0;
    int bufferCount_ = 0;
    int recordCount_ = 0;
    int activeRecord_ = 0;
    int currentRecord_ = -1;
    int bookmarkSize_ = 0;

    TRecordBuffer calcBuffer_ = nullptr;
    int calcFieldsSize_ = 0;

    int disableCount_ = 0;
    TDataSetState disableState_ = dsInactive;
    TDataEvent enableEvent_ = deDataSetChange;

    std::unique_ptr<TFields> fields_;
    std::unique_ptr<TFieldDefs> fieldDefs_;
    std::unique_ptr<TCheckConstraints> constraints_;
    TListenerList<TDataSource> dataSources_;
    uint64_t rowsVersion_ = 0;
};

}  // namespace velmysql
