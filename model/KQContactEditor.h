#pragma once
// Editing of one record: the field setters (each does nothing unless the record is being edited),
// saving the edit copy, empty values for the editor, and copying and merging records. A record
// hands one out with KQContactHelper::editor(); it holds no state of its own.

#include "platform/CNError.h"
#include "platform/CNMutableContact.h"
#include "platform/CNSaveRequest.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class KQContactHelper;

class KQContactEditor
{
public:
    explicit KQContactEditor(KQContactHelper& record) : m_record(record) {}

    void setNamePrefix(const std::optional<QString>& value);
    void setGivenName(const std::optional<QString>& value);
    void setMiddleName(const std::optional<QString>& value);
    void setFamilyName(const std::optional<QString>& value);
    void setNameSuffix(const std::optional<QString>& value);
    void setJobTitle(const std::optional<QString>& value);
    void setDepartment(const std::optional<QString>& value);
    void setOrganizationName(const std::optional<QString>& value);
    void setCompanyContact(bool company);
    void setNickName(const std::optional<QString>& value);
    void setPhoneticGivenName(const std::optional<QString>& value);
    void setPhoneticMiddleName(const std::optional<QString>& value);
    void setPhoneticFamilyName(const std::optional<QString>& value);
    void setPhoneticOrgName(const std::optional<QString>& value);
    // None is written as the empty text.
    void setNote(const std::optional<QString>& value);
    void setBirthday(const std::optional<CNDateComponents>& value);
    void setNgBirthday(const std::optional<CNDateComponents>& value);
    void setIconData(const QByteArray& data);
    // Stores the image's encoding; nothing for a null image.
    void setIcon(const QImage& image);
    void setFirstPhoneNumber(const QString& text);

    // Saves the edit copy with the store and waits; true at once when there is nothing to save.
    bool syncEndEditContactWithError(CNError* error = nullptr);
    // Adds the update to the caller's request instead of saving.
    bool syncEndEditContactWithError(CNError* error, CNSaveRequest& request);
    // Saves on the background queue; on failure with an error the alert presenter shows it; then
    // handler(success) runs on the main thread.
    void endEditContactWithCompleteHandler(std::function<void(bool)> handler);
    // How the program shows a failed save (the application installs a real alert).
    static void setErrorPresenter(std::function<void(const QString&)> presenter);

    void addPropertyEmptyValueWithCategoryName(const QString& categoryName);
    // Loads the record, starts editing and copies every field of contact into the edit copy.
    void copyFromContact(const CNContact& contact);
    static CNMutableContactPtr duplicateFromContact(const CNContact& contact);
    // A new record (all keys loaded, not in the store) merging the records; none for fewer than two.
    static std::shared_ptr<KQContactHelper>
    mergeContactHelpers(const std::vector<std::shared_ptr<KQContactHelper>>& records);
    static void mergeContact(const CNContact& source, CNMutableContact& target, const QString& key);
    static void mergeContactThumbnailWithHelpers(const std::vector<std::shared_ptr<KQContactHelper>>& records,
                                                 CNMutableContact& target);

private:
    template <typename T> void edit(void (CNMutableContact::*setter)(const T&), const T& value, bool resetsSortKey);

    KQContactHelper& m_record;
};
