#include "platform/RegKey.h"

#include "platform/RegStore.h"

constinit CRegKey g_currentUserKey;

CRegStore& CRegKey::Store() const
{
    return m_store ? *m_store : CRegStore::CurrentUser();
}
