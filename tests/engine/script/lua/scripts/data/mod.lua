-- Loaded by the base library script through require.
modruns = (modruns or 0) + 1
return {name = _REQUIREDNAME, runs = modruns}
