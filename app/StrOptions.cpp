#include "app/StrOptions.h"

long CStrOptions::Exchange(HKEY key, bool save, bool useDefaults)
{
    if (save) {
        OnBeforeSave();
        return WriteString(key, u"m_Folder", m_Folder);
    }
    if (useDefaults) {
        m_Folder.clear();
        return ERROR_SUCCESS;
    }
    const long result = ReadString(key, u"m_Folder", m_Folder);
    if (result != ERROR_SUCCESS)
        m_Folder.clear();
    OnAfterLoad();
    return result;
}
