novalueran = true
