; intro
  hello  
[s]
x
