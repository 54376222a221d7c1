return "one", 2
