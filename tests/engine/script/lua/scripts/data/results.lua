return 1, "two", 3
