#pragma once

#include <QString>

// The message keys of the user interface. A member's name is its key in section "Dialogs" of a
// language file, so members are listed once, here, with their names.
#define KOVA_DIALOG_TYPES(X)                                                                       \
    X(Configuration_lbActiveProfile)                                                               \
    X(Configuration_BrowseForDir)                                                                  \
    X(Configuration_InvalidUTDir)                                                                  \
    X(Statistics_gbStats_Caption)                                                                  \
    X(Statistics_gbStats_Loading)                                                                  \
    X(Statistics_lbAllFiles)                                                                       \
    X(Statistics_lbMapsInstalled)                                                                  \
    X(Statistics_lbModsInstalled)                                                                  \
    X(Statistics_lbScreenshotsInstalled)                                                           \
    X(Statistics_lbDemosInstalled)                                                                 \
    X(Statistics_lbVersion)                                                                        \
    X(SysInteg_ShellExtension)                                                                     \
    X(SysInteg_LaunchDemo)                                                                         \
    X(SysInteg_DemoType)                                                                           \
    X(SysInteg_FileAssocChanged)                                                                   \
    X(SysInteg_DefaultZip)                                                                         \
    X(SysInteg_DefaultFolder)                                                                      \
    X(INIEditor_CannotRenameSection)                                                               \
    X(INIEditor_CreateSectionPrompt)                                                               \
    X(INIEditor_CreateSectionFailed)                                                               \
    X(INIEditor_AddValuePrompt)                                                                    \
    X(MapManager_DeleteFilesConfirm)                                                               \
    X(MapManager_RenameError)                                                                      \
    X(MapManager_GameType)                                                                         \
    X(MapManager_FileSize)                                                                         \
    X(MapManager_UnknownType)                                                                      \
    X(MapManager_Author)                                                                           \
    X(MapManager_Title)                                                                            \
    X(MapManager_AllTypes)                                                                         \
    X(MapManager_OtherTypes)                                                                       \
    X(Profiles_ProfileActivated)                                                                   \
    X(Profiles_BackupCreated)                                                                      \
    X(Profiles_RemovePrompt)                                                                       \
    X(Profiles_RemoveConfirm)                                                                      \
    X(Profiles_NewProfilePrompt)                                                                   \
    X(Profiles_NewProfileActivation)                                                               \
    X(DemoManager_DeleteDemo)                                                                      \
    X(DemoManager_ExportDemo)                                                                      \
    X(ScreenShotManager_CompQuality)                                                               \
    X(Common_ArchiveInspector)                                                                     \
    X(Common_IncludeSubFolders)                                                                    \
    X(Common_UnableToLocateDirectory)                                                              \
    X(Common_Warning)                                                                              \
    X(Common_Error)                                                                                \
    X(Common_Information)                                                                          \
    X(Common_Confirmation)                                                                         \
    X(Common_Ok)                                                                                   \
    X(Common_Cancel)                                                                               \
    X(Common_Yes)                                                                                  \
    X(Common_No)                                                                                   \
    X(Common_AskMe)                                                                                \
    X(Common_Filter_SCRFiles)                                                                      \
    X(Common_OverwriteFile)                                                                        \
    X(Common_PathInvalid)                                                                          \
    X(Common_Filter_AllFiles)                                                                      \
    X(Common_Filter_ZipFiles)                                                                      \
    X(Common_Filter_UT2Files)                                                                      \
    X(Common_Dialog_SelectMap)                                                                     \
    X(Common_Filter_INIFiles)                                                                      \
    X(Common_Dialog_SelectINI)                                                                     \
    X(Common_Dialog_SelectArchive)                                                                 \
    X(Common_Dialog_SelectDir)                                                                     \
    X(Common_Dialog_SelectScr)                                                                     \
    X(Common_Dialog_SelectFile)                                                                    \
    X(Common_Dialog_OpenAddon)                                                                     \
    X(Common_AllSupportedFiles)                                                                    \
    X(Common_InstallUTContent_NotInstalled)                                                        \
    X(Common_InstallUTContent_Installed)                                                           \
    X(Common_InstallUTContent_Success)                                                             \
    X(Common_InstallUTContent_UserCancel)                                                          \
    X(Common_AddonDeletionProposal_Install)                                                        \
    X(Common_AddonDeletionProposal_Delete)                                                         \
    X(Common_FileToImport)                                                                         \
    X(Common_Filter_DemFiles)                                                                      \
    X(Common_Dialog_SelectBackup)                                                                  \
    X(Common_Filter_Backups)                                                                       \
    X(Common_Dialog_SaveAs)                                                                        \
    X(Common_Use_Cache)                                                                            \
    X(Common_Update_Cache)                                                                         \
    X(Common_BackupRestored)                                                                       \
    X(Arc_Adding)                                                                                  \
    X(Arc_Extracting)                                                                              \
    X(Arc_Processing)                                                                              \
    X(Arc_FileProcess)                                                                             \
    X(Arc_Password_Title)                                                                          \
    X(Arc_Password_Msg)                                                                            \
    X(Arc_OverallProcess)                                                                          \
    X(Srv_NewName)                                                                                 \
    X(Sum_Summary_OK)                                                                              \
    X(Sum_Summary_Fail)                                                                            \
    X(Sum_Status_Ok)                                                                               \
    X(Sum_Status_Fail)                                                                             \
    X(Sum_Caption)                                                                                 \
    X(Col_FileName)                                                                                \
    X(Col_Size)                                                                                    \
    X(Col_Format)                                                                                  \
    X(Col_HashValue)                                                                               \
    X(Col_FileType)                                                                                \
    X(Col_MapType)                                                                                 \
    X(Col_SourceArchive)                                                                           \
    X(Col_SourceFile)                                                                              \
    X(Col_DestFile)                                                                                \
    X(Col_Status)                                                                                  \
    X(Col_CompressedSize)                                                                          \
    X(Col_UncompressedSize)                                                                        \
    X(Col_Factor)                                                                                  \
    X(Update_Error)                                                                                \
    X(Update_Avail)                                                                                \
    X(Update_NoUpdate)

enum class TDialogType : int
{
#define KOVA_DIALOG_TYPE_MEMBER(name) name,
    KOVA_DIALOG_TYPES(KOVA_DIALOG_TYPE_MEMBER)
#undef KOVA_DIALOG_TYPE_MEMBER
};

constexpr int DialogTypeCount = 0
#define KOVA_DIALOG_TYPE_COUNT(name) +1
    KOVA_DIALOG_TYPES(KOVA_DIALOG_TYPE_COUNT)
#undef KOVA_DIALOG_TYPE_COUNT
    ;

// The member's declared name, the key of its message ("Common_Error"); empty for a value
// outside the enumeration.
QString DialogTypeName(TDialogType type);
