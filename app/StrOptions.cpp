#include "app/StrOptions.h"

long CStrOptions::Exchange(HKEY key, bool save, bool useDefaults)
{
    if (save)
        OnBeforeSave();
    const long result = ExchangeString(key, save, useDefaults, u"m_Folder", m_Folder);
    if (!save && !useDefaults)
        OnAfterLoad();
    return result;
}
